# A build for another system compiles GoogleTest from the sources Debian's libgtest-dev ships.
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# quillmere_add_test(NAME SOURCES a.cpp b.cpp LIBS lib... [GUI] [X11] [TIMEOUT s] [LABELS l...])
# GUI tests get a QApplication (tests/support/gui_test_main.cpp) and the offscreen platform; X11
# tests (GUI ones that look at what the window system holds) run on a virtual X server instead.
# Every test runs with its own settings store and temporary folder, never the user's.
function(quillmere_add_test name)
  cmake_parse_arguments(T "GUI;X11" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_GUI)
    target_link_libraries(${name} PRIVATE ${T_LIBS} quillmere_testsupport_gui GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} quillmere_testsupport GTest::gtest_main)
  endif()
  set(platform offscreen)
  if(T_X11)
    find_program(XVFB_RUN xvfb-run REQUIRED)
    add_test(NAME ${name} COMMAND ${XVFB_RUN} -a $<TARGET_FILE:${name}>)
    set(platform xcb)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(work ${CMAKE_BINARY_DIR}/test-work/${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "WINEDEBUG=-all;QT_QPA_PLATFORM=${platform};QUILLMERE_SETTINGS_DIR=${work}/settings;QUILLMERE_TEST_WORK=${work};QUILLMERE_BIN_DIR=${CMAKE_BINARY_DIR}/bin;QUILLMERE_SOURCE_DIR=${CMAKE_SOURCE_DIR};QUILLMERE_TESTS_DIR=${CMAKE_BINARY_DIR}/tests")
endfunction()
