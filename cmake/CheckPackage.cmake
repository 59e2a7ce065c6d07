# cmake -DPACKAGE_TOOL=<tools/package> -DBUILD_DIR=<build> -DOUT=<folder> -DDPKG_DEB=<dpkg-deb>
#       -DVERSION=<x.y.z> -P CheckPackage.cmake
#
# Makes the package from the build's bundles and reads it back.

cmake_minimum_required(VERSION 3.22)

file(REMOVE_RECURSE "${OUT}")
set(ENV{BRAKKLE_BUILD_DIR} "${BUILD_DIR}")
execute_process(COMMAND "${PACKAGE_TOOL}" --no-build --out "${OUT}"
                OUTPUT_VARIABLE said ERROR_VARIABLE errors RESULT_VARIABLE status)
message("${said}${errors}")
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tools/package failed")
endif()

file(GLOB packages "${OUT}/brakkle_${VERSION}_*.deb")
list(LENGTH packages count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one brakkle_${VERSION}_<architecture>.deb in ${OUT}, found: ${packages}")
endif()

execute_process(COMMAND "${DPKG_DEB}" --contents "${packages}" OUTPUT_VARIABLE contents RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb cannot read ${packages}")
endif()
foreach(path
        "root/root +[0-9]+ +[-0-9: ]+ ./usr/lib/vst3/Brakkle.vst3/Contents/x86_64-linux/Brakkle.so\n"
        "root/root +[0-9]+ +[-0-9: ]+ ./usr/lib/lv2/Brakkle.lv2/Brakkle.so\n"
        "-rw-r--r-- root/root +[0-9]+ +[-0-9: ]+ ./usr/lib/clap/Brakkle.clap\n"
        "./usr/lib/lv2/Brakkle.lv2/manifest.ttl\n"
        "./usr/lib/lv2/Brakkle.lv2/dsp.ttl\n"
        "./usr/lib/lv2/Brakkle.lv2/ui.ttl\n"
        "./usr/lib/lv2/Brakkle.lv2/presets.ttl\n"
        "root/root +[0-9]+ +[-0-9: ]+ ./usr/share/brakkle/vst3-presets/Last Beat Roll.vstpreset\n"
        "./usr/share/doc/brakkle/copyright\n"
        "./usr/share/doc/brakkle/changelog.gz\n")
    if(NOT contents MATCHES "${path}")
        message(FATAL_ERROR "the package lacks ${path}:\n${contents}")
    endif()
endforeach()
if(contents MATCHES "\\./usr/(bin|local|share/lv2|lib/x86_64)|\\./home|\\./root|\\./usr/lib/clap/[^\n]+/")
    message(FATAL_ERROR "the package installs outside /usr/lib/vst3, /usr/lib/lv2, /usr/lib/clap (one file) and its documentation:\n${contents}")
endif()
# Nothing where hosts look for VST3 presets: Ardour 7.3 stops responding when it loads one.
if(contents MATCHES "\\./usr/share/vst3")
    message(FATAL_ERROR "the package installs VST3 presets where hosts look for them:\n${contents}")
endif()

# Every factory preset as a VST3 preset file, where no host looks.
file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/../resources/presets/Bank.txt" bank REGEX "^[^#].*/")
foreach(line IN LISTS bank)
    string(REGEX REPLACE "^.*/" "" name "${line}")
    string(FIND "${contents}" "./usr/share/brakkle/vst3-presets/${name}.vstpreset\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the package lacks the VST3 preset file for ${name}:\n${contents}")
    endif()
endforeach()

execute_process(COMMAND "${DPKG_DEB}" --field "${packages}" Package Version Depends OUTPUT_VARIABLE fields)
message("${fields}")
foreach(field "Package: brakkle\n" "Version: ${VERSION}\n" "Depends: [^\n]*libc6 \\(>= [0-9.]+\\)" "Depends: [^\n]*libfreetype6")
    if(NOT fields MATCHES "${field}")
        message(FATAL_ERROR "the package's control fields lack ${field}")
    endif()
endforeach()

# The changelog: CHANGELOG.md in Debian's format, an entry for every release,
# the newest this version (read with dpkg-parsechangelog, as Debian's tools read it).
execute_process(COMMAND "${DPKG_DEB}" --fsys-tarfile "${packages}"
                COMMAND tar -xO ./usr/share/doc/brakkle/changelog.gz
                COMMAND gzip -dc
                OUTPUT_FILE "${OUT}/changelog" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read usr/share/doc/brakkle/changelog.gz from ${packages}")
endif()
execute_process(COMMAND dpkg-parsechangelog -l "${OUT}/changelog" --format rfc822 --all -S Version
                OUTPUT_VARIABLE versions ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REGEX MATCHALL "[^\n]+" versions "${versions}")
file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/../CHANGELOG.md" releases REGEX "^## ")
string(REGEX REPLACE "## ([^ ;]+) [^;]*" "\\1" releases "${releases}")
if(NOT status EQUAL 0 OR NOT versions STREQUAL releases OR NOT versions MATCHES "^${VERSION}(;|$)")
    message(FATAL_ERROR "the package's changelog should list the releases of CHANGELOG.md (${releases}), "
                        "${VERSION} first; dpkg-parsechangelog reads: ${versions} ${errors}")
endif()
