# Installing the wizard as a desktop application, and its Debian package (cpack -G DEB).
#
#   <prefix>/lib/morvane/morvane          the program, its help page morvane.html beside it
#   <prefix>/bin/morvane                  a link to it (the program finds its help page by its own
#                                         path, which the link resolves to)
#   <prefix>/share/applications/morvane.desktop   the menu entry, under Development and Database
#   <prefix>/share/icons/hicolor/<n>x<n>/apps/morvane.png   the application icon
# The pictures of the windows are compiled into the program.
include(GNUInstallDirs)

install(TARGETS morvane RUNTIME DESTINATION lib/morvane)
install(FILES ${CMAKE_BINARY_DIR}/app/morvane.html DESTINATION lib/morvane)

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-link)
file(CREATE_LINK ../lib/morvane/morvane ${CMAKE_BINARY_DIR}/install-link/morvane
     SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-link/morvane DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/res/morvane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/res/desktop/morvane-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME morvane.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "Quilbrook Software")
set(CPACK_PACKAGE_CONTACT "Quilbrook Software <info@quilbrook.test>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quilbrook Database Converter - MySQL to MS SQL")
set(CPACK_PACKAGE_DESCRIPTION
    "A two-page wizard that copies the tables of a MySQL or MariaDB database into a new\n Microsoft SQL Server database, with their types, keys, index and every row.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.quilbrook.test)
# The shared libraries the program links (wxWidgets' GTK 3 runtime, the MariaDB client
# library, unixODBC, GTK, X11) come from dpkg-shlibdeps; the driver it loads at run time, the
# font its windows are measured for and the desktop's opener are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tdsodbc, fonts-liberation, xdg-utils")
include(CPack)
