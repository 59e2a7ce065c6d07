# Where JUCE comes from.
#
#   -DBRAKKLE_JUCE_DIR=<tree>
#       A JUCE source tree on disk. tools/build.sh passes Debian's patched 8.0.6,
#       which tools/deps.sh fetches; any other JUCE 8 tree works the same way.
#   BRAKKLE_JUCE_DIR not set (Windows, macOS, any other Linux)
#       JUCE 8.0.8 as its makers publish it: FetchContent clones the release tag
#       8.0.8, pinned to the tag's commit. -DFETCHCONTENT_SOURCE_DIR_JUCE=<tree>
#       gives that same path a local tree instead of the download.
#
# Either way the tree is added as the subdirectory juce/ of the build folder, and
# this sets
#   BRAKKLE_JUCE_SOURCE_DIR          the tree in use
#   BRAKKLE_JUCE_VERSION             its version, read from the tree
#   BRAKKLE_JUCE_SYSTEM_IMAGE_LIBS   ON when the tree links the system's libpng,
#                                    libjpeg and zlib instead of carrying JUCE's own
#                                    copies (Debian's does; JUCE as published does not)
# and the interface library brakkle_juce_system_libraries (see below).

include(FetchContent)

set(BRAKKLE_JUCE_DIR "" CACHE PATH
    "JUCE source tree to build with (tools/deps.sh prints Debian's); empty: JUCE 8.0.8 through FetchContent")

if(BRAKKLE_JUCE_DIR)
    if(NOT EXISTS "${BRAKKLE_JUCE_DIR}/CMakeLists.txt")
        message(FATAL_ERROR "BRAKKLE_JUCE_DIR (${BRAKKLE_JUCE_DIR}) is not a JUCE source tree")
    endif()
    get_filename_component(BRAKKLE_JUCE_SOURCE_DIR "${BRAKKLE_JUCE_DIR}" ABSOLUTE)
else()
    set(BRAKKLE_JUCE_GIT_REPOSITORY "https://github.com/juce-framework/JUCE.git" CACHE STRING
        "Where FetchContent clones JUCE from (a mirror holding the tag 8.0.8 works too)")
    FetchContent_Declare(JUCE
        GIT_REPOSITORY "${BRAKKLE_JUCE_GIT_REPOSITORY}"
        GIT_TAG        d6181bde38d858c283c3b7bf699ce6340c050b5d # tag 8.0.8
        GIT_PROGRESS   TRUE
        # Only fetch here: the tree is added below exactly like a tree on disk
        # (no subdirectory of that name exists, so FetchContent adds nothing itself).
        SOURCE_SUBDIR  brakkle-adds-this-tree-itself)
    FetchContent_MakeAvailable(JUCE)
    set(BRAKKLE_JUCE_SOURCE_DIR "${juce_SOURCE_DIR}")
    if(NOT EXISTS "${BRAKKLE_JUCE_SOURCE_DIR}/CMakeLists.txt")
        message(FATAL_ERROR "FetchContent gave no JUCE tree at ${BRAKKLE_JUCE_SOURCE_DIR}")
    endif()
endif()

file(STRINGS "${BRAKKLE_JUCE_SOURCE_DIR}/CMakeLists.txt" _brakkle_juce_project
     REGEX "^project\\(JUCE VERSION [0-9]+\\.[0-9]+\\.[0-9]+" LIMIT_COUNT 1)
string(REGEX REPLACE ".*VERSION ([0-9]+\\.[0-9]+\\.[0-9]+).*" "\\1" BRAKKLE_JUCE_VERSION "${_brakkle_juce_project}")
if(NOT BRAKKLE_JUCE_VERSION MATCHES "^8\\.")
    message(FATAL_ERROR "${BRAKKLE_JUCE_SOURCE_DIR} is not a JUCE 8 tree")
endif()

add_subdirectory("${BRAKKLE_JUCE_SOURCE_DIR}" juce EXCLUDE_FROM_ALL)

# Debian's build files define this target for the system libraries that replace
# the copies Debian removed from the tree. JUCE's own juce_add_* targets link it
# there; a plain library that compiles JUCE's modules (brakkle_host) links
# brakkle_juce_system_libraries, which is empty for a tree that carries its own.
add_library(brakkle_juce_system_libraries INTERFACE)
if(TARGET juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
    set(BRAKKLE_JUCE_SYSTEM_IMAGE_LIBS ON)
    target_link_libraries(brakkle_juce_system_libraries INTERFACE juce::pkgconfig_JUCE_IMG_LINUX_DEPS z)
else()
    set(BRAKKLE_JUCE_SYSTEM_IMAGE_LIBS OFF)
endif()

message(STATUS "Brakkle: JUCE ${BRAKKLE_JUCE_VERSION} from ${BRAKKLE_JUCE_SOURCE_DIR}"
               " (system PNG/JPEG/zlib: ${BRAKKLE_JUCE_SYSTEM_IMAGE_LIBS})")
