# The Debian package as tools/package makes it from this build (without
# building again): the VST3 and LV2 bundles and the CLAP file where hosts look, the copyright file and the
# changelog, Depends worked out from what the modules link, and no error from
# lintian (when installed; tools/deps.sh installs it). The package is written
# into the build folder's package-test/ and never installed.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    return()
endif()

# The package is made from Debian's JUCE (tools/build.sh's tree), whose modules
# link the system's PNG, JPEG and zlib: JUCE as its makers publish it carries
# its own copies, which Debian refuses in a package (lintian: embedded-library).
if(NOT BRAKKLE_JUCE_SYSTEM_IMAGE_LIBS)
    message(STATUS "Brakkle: no Debian package test on a JUCE tree with its own PNG, JPEG and zlib copies")
    return()
endif()

find_program(BRAKKLE_DPKG_DEB dpkg-deb)
if(NOT BRAKKLE_DPKG_DEB)
    message(WARNING "No dpkg-deb: the Debian package's test is left out")
    return()
endif()

add_test(NAME package.debian_package_installs_both_bundles
         COMMAND ${CMAKE_COMMAND} -DPACKAGE_TOOL=${CMAKE_CURRENT_SOURCE_DIR}/tools/package
                 -DBUILD_DIR=${CMAKE_BINARY_DIR} -DOUT=${CMAKE_BINARY_DIR}/package-test
                 -DDPKG_DEB=${BRAKKLE_DPKG_DEB} -DVERSION=${PROJECT_VERSION}
                 -P ${CMAKE_CURRENT_LIST_DIR}/CheckPackage.cmake)
set_tests_properties(package.debian_package_installs_both_bundles PROPERTIES LABELS host TIMEOUT 300)
