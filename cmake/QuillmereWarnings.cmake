# The warning flags of every target the project compiles, in one INTERFACE target. The top
# CMakeLists links it to each of them once all are defined (quillmere_apply_warnings), so that
# no library, program, test or benchmark can be left out; the fuzzers, which clang builds outside
# CMake's targets, read the same flags from it.
#
# Under CI (the environment variable CI is "true", as .ci/run sets it) warnings are errors, and so
# is any warning a change brings in; QUILLMERE_WERROR=ON asks for the same in a local build.
option(QUILLMERE_WERROR "Treat compiler warnings as errors" OFF)
if("$ENV{CI}" STREQUAL "true")
  set(QUILLMERE_WERROR ON)
endif()

add_library(quillmere_warnings INTERFACE)
add_library(quillmere::warnings ALIAS quillmere_warnings)
target_compile_options(quillmere_warnings INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${QUILLMERE_WERROR}>:-Werror>)

# Links quillmere::warnings to every target compiled in `dir` and the folders below it.
function(quillmere_apply_warnings dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_link_libraries(${target} PRIVATE quillmere::warnings)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    quillmere_apply_warnings(${subdir})
  endforeach()
endfunction()
