# cpack-generator.cmake - what differs between the Linux packages, read by
# cpack for each generator. The .deb alone takes lintian's override; the
# tarball, which no package manager unpacks, takes the licence beside the
# copyright file and is named for its machine. Neither is installed from
# source.
list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build)
set(CPACK_INSTALL_CMAKE_PROJECTS "${build};changewait;Unspecified;/")
if(CPACK_GENERATOR STREQUAL "DEB")
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS "${build};changewait;debian;/")
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS "${build};changewait;archive;/")
  set(CPACK_PACKAGE_FILE_NAME "changewait-${CPACK_PACKAGE_VERSION}-linux-${CPACK_RPM_PACKAGE_ARCHITECTURE}")
endif()
