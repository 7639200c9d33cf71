# The programs' version, their install layout and the Debian package.
#
#   <prefix>/bin/                        the five programs
#   <prefix>/share/quillmere/            Samples/, Sales.sqlite and the window's picture and cursor,
#                                        found by the programs relative to their own folder
#   <prefix>/share/applications/, icons/ the desktop entry and its icon
include(GNUInstallDirs)
set(quillmere_programs quillmere quillmere-cli pxsql quillmere-demo-server quillmere-make-sales)

# Every program prints the version of project() for --version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/QuillmereVersion.h.in ${CMAKE_BINARY_DIR}/generated/QuillmereVersion.h @ONLY)
foreach(program ${quillmere_programs})
  if(TARGET ${program})
    target_include_directories(${program} PRIVATE ${CMAKE_BINARY_DIR}/generated)
  endif()
endforeach()
# The build without the window (for Windows) has no install rules or package.
if(NOT QUILLMERE_WINDOW)
  return()
endif()

# The programs look for their files in ../share/quillmere, so the two folders keep this relation.
install(TARGETS ${quillmere_programs} RUNTIME DESTINATION bin)
set(quillmere_data share/quillmere)
install(FILES ${QUILLMERE_APP_DIR}/Sales.sqlite
              ${CMAKE_SOURCE_DIR}/app/resources/local-connection-example.jpg
              ${CMAKE_SOURCE_DIR}/app/resources/HAND-M.CUR
        DESTINATION ${quillmere_data})
install(DIRECTORY ${QUILLMERE_APP_DIR}/Samples DESTINATION ${quillmere_data})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quillmere.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quillmere.svg DESTINATION share/icons/hicolor/scalable/apps)

# cpack -G DEB: the shared libraries the programs link come from dpkg-shlibdeps; unixODBC loads
# FreeTDS's driver at run time, so those two packages are named here.
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillmere")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Copies the tables of a SQL Server database into Paradox tables")
set(CPACK_PACKAGE_DESCRIPTION "Quillmere copies the user tables of a SQL Server database into Paradox 5.x tables
(.db with a primary index .px) in a folder, through a window (quillmere) or from the command
line (quillmere-cli). pxsql is the shell of its Paradox engine; quillmere-demo-server and
quillmere-make-sales make a SQL Server stand-in with a sample database for trying it out.")
set(CPACK_PACKAGE_CONTACT "Quillmere developers <quillmere@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tdsodbc, unixodbc")
include(CPack)
