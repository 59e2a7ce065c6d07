# The Linux modules (VST3, LV2 and CLAP) must load on any desktop Linux: besides the C and C++ runtimes
# and the C library's own pieces it may ask the loader for FreeType and fontconfig
# only. Built on JUCE as its makers publish it, PNG, JPEG and zlib are JUCE's own
# copies inside the module. A tree that swaps those for the system's libraries
# (Debian's) makes the module need libpng16, libjpeg and zlib as well: the test
# then allows and names them. Sanitizer builds add their runtimes.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    return()
endif()

find_program(BRAKKLE_READELF NAMES readelf llvm-readelf HINTS "${CMAKE_READELF}")
find_program(BRAKKLE_LDD ldd)
if(NOT BRAKKLE_READELF)
    message(WARNING "No readelf: the test of the bundle's libraries is left out")
    return()
endif()

set(BRAKKLE_BUNDLE_ALLOWED
    libc libm libpthread libdl librt libutil ld-linux-x86-64 ld-linux-aarch64 ld-linux-armhf ld-linux
    libstdc++ libgcc_s libc++ libc++abi
    libfreetype libfontconfig)
set(BRAKKLE_BUNDLE_SYSTEM_EXTRAS "")
if(BRAKKLE_JUCE_SYSTEM_IMAGE_LIBS)
    set(BRAKKLE_BUNDLE_SYSTEM_EXTRAS libpng16 libjpeg libz)
endif()
if(BRAKKLE_SANITIZE)
    list(APPEND BRAKKLE_BUNDLE_ALLOWED libasan libubsan)
endif()
if(BRAKKLE_SANITIZE_THREAD)
    list(APPEND BRAKKLE_BUNDLE_ALLOWED libtsan)
endif()
string(REPLACE ";" "," BRAKKLE_BUNDLE_ALLOWED "${BRAKKLE_BUNDLE_ALLOWED}")
string(REPLACE ";" "," BRAKKLE_BUNDLE_SYSTEM_EXTRAS "${BRAKKLE_BUNDLE_SYSTEM_EXTRAS}")

add_test(NAME bundle.needs_only_desktop_libraries
         COMMAND ${CMAKE_COMMAND}
                 -DMODULE=$<TARGET_FILE:Brakkle_VST3>,$<TARGET_FILE:Brakkle_LV2>,$<TARGET_FILE:Brakkle_CLAP>
                 -DREADELF=${BRAKKLE_READELF}
                 -DLDD=${BRAKKLE_LDD}
                 -DALLOWED=${BRAKKLE_BUNDLE_ALLOWED}
                 -DSYSTEM_EXTRAS=${BRAKKLE_BUNDLE_SYSTEM_EXTRAS}
                 -P ${CMAKE_CURRENT_LIST_DIR}/CheckBundleLibraries.cmake)
set_tests_properties(bundle.needs_only_desktop_libraries PROPERTIES LABELS host)
