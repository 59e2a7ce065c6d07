# CLAP: the format's headers (free-audio/clap), the helpers its JUCE wrapper is
# built on (free-audio/clap-helpers) and the wrapper itself
# (free-audio/clap-juce-extensions), each kept in third_party/ at a pinned commit
# (third_party/<name>/README.brakkle.md says which). Nothing is downloaded.
#
# Defines the targets the wrapper's own CMake helper expects (clap, clap-core,
# clap-helpers, clap_juce_extensions, clap_juce_sources) and includes that helper,
# which gives clap_juce_extensions_plugin().

set(BRAKKLE_CLAP_ROOT "${CMAKE_CURRENT_LIST_DIR}/../third_party")

add_library(clap INTERFACE)
target_include_directories(clap SYSTEM INTERFACE "${BRAKKLE_CLAP_ROOT}/clap/include")
add_library(clap-core ALIAS clap)

add_library(clap-helpers INTERFACE)
target_include_directories(clap-helpers SYSTEM INTERFACE "${BRAKKLE_CLAP_ROOT}/clap-helpers/include")
target_link_libraries(clap-helpers INTERFACE clap)

set(BRAKKLE_CLAP_JUCE_DIR "${BRAKKLE_CLAP_ROOT}/clap-juce-extensions")

add_library(clap_juce_extensions STATIC "${BRAKKLE_CLAP_JUCE_DIR}/src/extensions/clap-juce-extensions.cpp")
target_include_directories(clap_juce_extensions PUBLIC "${BRAKKLE_CLAP_JUCE_DIR}/include")
target_compile_definitions(clap_juce_extensions PUBLIC HAS_CLAP_JUCE_EXTENSIONS=1)
target_link_libraries(clap_juce_extensions PUBLIC clap-core clap-helpers)
set_target_properties(clap_juce_extensions PROPERTIES
    POSITION_INDEPENDENT_CODE TRUE
    VISIBILITY_INLINES_HIDDEN TRUE
    CXX_VISIBILITY_PRESET hidden)

add_library(clap_juce_sources INTERFACE)
set_property(TARGET clap_juce_sources PROPERTY CXX_STANDARD ${CMAKE_CXX_STANDARD})
set_property(TARGET clap_juce_sources PROPERTY CLAP_JUCE_SOURCE_DIR "${BRAKKLE_CLAP_JUCE_DIR}")
# On macOS the wrapper is compiled as Objective-C++ (the .mm includes the .cpp).
if(APPLE)
    target_sources(clap_juce_sources INTERFACE "${BRAKKLE_CLAP_JUCE_DIR}/src/wrapper/clap-juce-mac.mm")
else()
    target_sources(clap_juce_sources INTERFACE "${BRAKKLE_CLAP_JUCE_DIR}/src/wrapper/clap-juce-wrapper.cpp")
endif()
target_include_directories(clap_juce_sources INTERFACE "${BRAKKLE_CLAP_JUCE_DIR}/include")
# The wrapper copies names into CLAP's fixed-size fields with strncpy, which GCC warns about.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set_source_files_properties("${BRAKKLE_CLAP_JUCE_DIR}/src/wrapper/clap-juce-wrapper.cpp"
        PROPERTIES COMPILE_OPTIONS -Wno-stringop-truncation)
endif()

include("${BRAKKLE_CLAP_JUCE_DIR}/cmake/ClapTargetHelpers.cmake")
