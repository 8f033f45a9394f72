# `cpack -G DEB` in the build directory: one package with the runner, its
# translations and stand-in engine, ybrowser-host and the host library with
# its headers and CMake package. Dependencies on Debian's Qt packages come
# from dpkg-shlibdeps reading the installed binaries.
set(CPACK_PACKAGE_NAME ybrowserrunner)
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Off-screen web page renderer for host applications")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "YBrowserRunner developers <ybrowserrunner@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ybrowser-host links the host library from the same package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
include(CPack)
