# Makes the release files from a built Windows tree (cmake -P):
#
#   cmake -DSETTINGS=TREE/packaging/settings.cmake -DOUTPUT_DIR=DIR
#         [-DSIGN_PFX=FILE.pfx [-DTIMESTAMP_URL=URL]] [-DCOMMIT_TIME_REQUIRED=ON]
#         -P Release.cmake
#
# SETTINGS, written by packaging/CMakeLists.txt, names the version, the source folder, the
# built workstation, token-check, module and qrd-token, the program's icon and the file with
# the commit's time the programs were linked at. Into OUTPUT_DIR go
#   workstation-VERSION-setup.exe       the installer (installer.nsi)
#   workstation-VERSION.msi             the Windows Installer package (Msi.cmake)
#   workstation-VERSION-portable.zip    the installed files, without the uninstaller
#   workstation-demo-token-VERSION.zip  the software token, qrd-token, token-check and a note
#   SHA256SUMS                          of the four, as sha256sum writes them
# and OUTPUT_DIR/stage holds what was packed. Every file time in them is the commit's, and the
# files are packed in a fixed order, so the same tree gives the same bytes. The installed
# files are the programs and the user guide, an HTML page made from docs/guide.md by pandoc
# with the screenshots it shows.
#
# With SIGN_PFX every program and DLL is signed by sign-pe before it is packed, the
# uninstaller, the installer and the Windows Installer package too (the password comes from
# RELEASE_SIGN_PASSWORD and is handed to the signing commands only, a time stamp from
# TIMESTAMP_URL when given). COMMIT_TIME_REQUIRED (./release) refuses programs built at the
# time a build falls back to when git cannot read the history. A failure leaves no release
# file in OUTPUT_DIR.
cmake_minimum_required(VERSION 3.25)

foreach(variable SETTINGS OUTPUT_DIR)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "Release.cmake: -D${variable}=... is required")
    endif()
endforeach()
include(${SETTINGS})
get_filename_component(OUTPUT_DIR "${OUTPUT_DIR}" ABSOLUTE)
foreach(file ${WORKSTATION_EXE} ${TOKEN_CHECK_EXE} ${MODULE_DLL} ${QRD_TOKEN_EXE} ${ICON}
             ${SOURCE_DATE_EPOCH_FILE})
    if(NOT EXISTS ${file})
        message(FATAL_ERROR "Release.cmake: ${file} is not built")
    endif()
endforeach()
file(STRINGS ${SOURCE_DATE_EPOCH_FILE} epoch LIMIT_COUNT 1)
if(NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "Release.cmake: ${SOURCE_DATE_EPOCH_FILE} holds no time")
endif()
# 1980-01-01 is what cmake/SourceDateEpoch.cmake falls back to without a readable history: a
# release would carry, and sign, a time that is not its commit's.
if(COMMIT_TIME_REQUIRED AND epoch EQUAL 315532800)
    message(FATAL_ERROR "Release.cmake: the programs were built at 1980-01-01, the time a build "
        "takes when git cannot read the history of ${SOURCE_DIR} (see the build's warning). "
        "Make the release from a clone whose history git reads, or set SOURCE_DATE_EPOCH to "
        "the commit's time. Nothing was packed.")
endif()
find_program(MAKENSIS makensis)
find_program(ZIP zip)
find_program(TOUCH touch)
find_program(PANDOC pandoc)
if(NOT MAKENSIS OR NOT ZIP OR NOT TOUCH OR NOT PANDOC)
    message(FATAL_ERROR "Release.cmake: makensis, zip, touch and pandoc are needed (Debian packages nsis, zip, coreutils, pandoc)")
endif()
if(DEFINED SIGN_PFX)
    get_filename_component(SIGN_PFX "${SIGN_PFX}" ABSOLUTE)
    if(NOT EXISTS "${SIGN_PFX}" OR IS_DIRECTORY "${SIGN_PFX}")
        message(FATAL_ERROR "Release.cmake: the certificate ${SIGN_PFX} does not exist")
    endif()
    find_program(OSSLSIGNCODE osslsigncode)
    if(NOT OSSLSIGNCODE)
        message(FATAL_ERROR "Release.cmake: osslsigncode is needed to sign (Debian package osslsigncode)")
    endif()
endif()

set(here ${CMAKE_CURRENT_LIST_DIR})
set(stage ${OUTPUT_DIR}/stage)
set(program_dir ${stage}/workstation-${VERSION})
set(demo_dir ${stage}/workstation-demo-token-${VERSION})
set(setup workstation-${VERSION}-setup.exe)
set(msi workstation-${VERSION}.msi)
set(portable workstation-${VERSION}-portable.zip)
set(demo workstation-demo-token-${VERSION}.zip)
set(release_files ${OUTPUT_DIR}/${setup} ${OUTPUT_DIR}/${msi} ${OUTPUT_DIR}/${portable}
                  ${OUTPUT_DIR}/${demo} ${OUTPUT_DIR}/SHA256SUMS)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${release_files})
file(MAKE_DIRECTORY ${program_dir} ${demo_dir})

# Stops with the message, leaving no release file and nothing half-signed behind.
function(abandon)
    file(REMOVE_RECURSE ${stage})
    file(REMOVE ${release_files})
    message(FATAL_ERROR "Release.cmake: " ${ARGN})
endfunction()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        abandon("${ARGN} failed (${result})")
    endif()
endfunction()

# The password reaches the commands that sign (sign-pe, and makensis, which runs it) and no
# other.
if(DEFINED SIGN_PFX)
    set(password "$ENV{RELEASE_SIGN_PASSWORD}")
endif()
unset(ENV{RELEASE_SIGN_PASSWORD})
function(signing)
    set(ENV{RELEASE_SIGN_PASSWORD} "${password}")
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    unset(ENV{RELEASE_SIGN_PASSWORD})
    if(NOT result EQUAL 0)
        abandon("${ARGN} failed (${result}), nothing was packed")
    endif()
endfunction()

# What the installer installs: the program, token-check and the user guide with its
# screenshots, as the source folder holds them now (not when the tree was configured). The
# guide is a page that Windows opens in the browser: HTML made from the Markdown, Russian,
# with its table of contents.
file(COPY ${WORKSTATION_EXE} ${TOKEN_CHECK_EXE} DESTINATION ${program_dir})
set(guide ${SOURCE_DIR}/docs/guide.md)
if(NOT EXISTS ${guide})
    abandon("the user guide docs/guide.md is missing")
endif()
file(MAKE_DIRECTORY ${program_dir}/docs)
run(${PANDOC} --from=markdown-smart --to=html5 --standalone --toc --toc-depth=2
    --shift-heading-level-by=-1 --metadata=lang:ru --metadata=toc-title:Содержание
    --include-in-header=${here}/guide-style.html --output=${program_dir}/docs/guide.html
    ${guide})
file(GLOB screenshots ${SOURCE_DIR}/docs/screenshots/*.png)
if(screenshots)
    file(COPY ${screenshots} DESTINATION ${program_dir}/docs/screenshots)
endif()
# Every picture the page shows is packed beside it.
file(READ ${program_dir}/docs/guide.html page)
string(REGEX MATCHALL "<img [^>]*src=\"[^\"]*\"" images "${page}")
foreach(image IN LISTS images)
    string(REGEX REPLACE ".*src=\"([^\"]*)\"$" "\\1" picture "${image}")
    if(NOT EXISTS ${program_dir}/docs/${picture})
        abandon("the guide shows ${picture}, which docs/ does not hold")
    endif()
endforeach()

# The demo package: the module, the tool, token-check to try on the demo token (copied below,
# once signed), and the note, UTF-8 with a byte order mark and Windows line ends so that
# Notepad shows it right.
file(COPY ${MODULE_DLL} ${QRD_TOKEN_EXE} DESTINATION ${demo_dir})
file(READ ${here}/demo-token.txt note)
string(REPLACE "\n" "\r\n" note "${note}")
string(ASCII 239 187 191 bom)
file(WRITE ${demo_dir}/README.txt "${bom}${note}")

set(nsis_signing "")
if(DEFINED SIGN_PFX)
    set(ENV{RELEASE_SIGN_PFX} "${SIGN_PFX}")
    set(ENV{RELEASE_SIGN_TIME} "${epoch}")
    set(ENV{RELEASE_SIGN_TIMESTAMP} "${TIMESTAMP_URL}")
    get_filename_component(module_name ${MODULE_DLL} NAME)
    get_filename_component(tool_name ${QRD_TOKEN_EXE} NAME)
    foreach(file ${program_dir}/workstation.exe ${program_dir}/token-check.exe
                 ${demo_dir}/${module_name} ${demo_dir}/${tool_name})
        signing(${here}/sign-pe ${file})
    endforeach()
    set(nsis_signing -DSIGN=${here}/sign-pe)
endif()
file(COPY ${program_dir}/token-check.exe DESTINATION ${demo_dir})

# Every file and folder the packages hold, in one order, with the commit's time and the same
# permissions whatever the user's umask (the zips keep Unix permissions).
file(GLOB_RECURSE packed LIST_DIRECTORIES true RELATIVE ${stage} ${program_dir} ${program_dir}/*
     ${demo_dir} ${demo_dir}/*)
list(SORT packed)
file(CHMOD_RECURSE ${program_dir} ${demo_dir}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                           WORLD_READ WORLD_EXECUTE)
run(${TOUCH} -h -d @${epoch} ${packed} WORKING_DIRECTORY ${stage})

# The installer's file lists, generated from the staged tree: files are installed, checked
# before the uninstaller removes anything, and removed one by one; folders are removed
# deepest first and only when empty.
file(GLOB_RECURSE staged RELATIVE ${program_dir} ${program_dir}/*)
list(SORT staged)
set(install_lines "!macro INSTALL_FILES\n")
set(check_lines "!macro UNINSTALL_CHECK_FILES\n")
set(uninstall_lines "!macro UNINSTALL_FILES\n")
set(folders "")
set(current_folder "-")
foreach(file IN LISTS staged)
    if(file MATCHES "\\$|\"|`")
        abandon("cannot package a file named ${file}")
    endif()
    get_filename_component(folder "${file}" DIRECTORY)
    string(REPLACE "/" "\\" windows_file "${file}")
    if(NOT folder STREQUAL current_folder)
        set(current_folder "${folder}")
        string(REPLACE "/" "\\" windows_folder "\\${folder}")
        if(folder STREQUAL "")
            set(windows_folder "")
        endif()
        string(APPEND install_lines "    SetOutPath \"$INSTDIR${windows_folder}\"\n")
    endif()
    while(NOT folder STREQUAL "")
        list(APPEND folders "${folder}")
        get_filename_component(folder "${folder}" DIRECTORY)
    endwhile()
    string(APPEND install_lines "    File \"${program_dir}/${file}\"\n")
    string(APPEND check_lines "    !insertmacro UNINSTALL_CHECK \"${windows_file}\"\n")
    string(APPEND uninstall_lines "    Delete \"$INSTDIR\\${windows_file}\"\n")
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders)
list(REVERSE folders)
# The folders have a macro of their own: a folder that keeps a user's file is no failure.
string(APPEND uninstall_lines "!macroend\n!macro UNINSTALL_FOLDERS\n")
foreach(folder IN LISTS folders)
    string(REPLACE "/" "\\" windows_folder "${folder}")
    string(APPEND uninstall_lines "    RMDir \"$INSTDIR\\${windows_folder}\"\n")
endforeach()
file(WRITE ${stage}/files.nsh
     "${install_lines}!macroend\n${check_lines}!macroend\n${uninstall_lines}!macroend\n")

# The installer keeps the files' times (the commit's), and signs the uninstaller and itself
# when signing.
set(nsis ${MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${VERSION} -DVERSION4=${VERSION}.0
    -DOUTFILE=${OUTPUT_DIR}/${setup} -DFILES=${stage}/files.nsh -DICON=${ICON} ${nsis_signing}
    ${here}/installer.nsi)
if(DEFINED SIGN_PFX)
    signing(${nsis})
else()
    run(${nsis})
endif()

# The Windows Installer package of the same files, then signed.
run(${CMAKE_COMMAND} -DPROGRAM_DIR=${program_dir} -DVERSION=${VERSION} -DEPOCH=${epoch}
    -DICON=${ICON} -DOUTPUT=${OUTPUT_DIR}/${msi} -DWORK_DIR=${stage}/msi -P ${here}/Msi.cmake)
if(DEFINED SIGN_PFX)
    signing(${here}/sign-pe ${OUTPUT_DIR}/${msi})
endif()

# The zips hold the staged entries in the sorted order. zip writes times in local time: in
# UTC they are the same on every machine. -X leaves out Unix owners and extra times.
foreach(package portable demo)
    if(package STREQUAL "portable")
        set(top workstation-${VERSION})
    else()
        set(top workstation-demo-token-${VERSION})
    endif()
    set(entries ${packed})
    list(FILTER entries INCLUDE REGEX "^${top}(/|$)")
    list(JOIN entries "\n" names)
    file(WRITE ${stage}/${package}.list "${names}\n")
    run(${CMAKE_COMMAND} -E env TZ=UTC0 ${ZIP} -q -X ${OUTPUT_DIR}/${${package}} -@
        INPUT_FILE ${stage}/${package}.list WORKING_DIRECTORY ${stage})
endforeach()

set(sums "")
foreach(file ${setup} ${msi} ${portable} ${demo})
    file(SHA256 ${OUTPUT_DIR}/${file} sum)
    string(APPEND sums "${sum}  ${file}\n")
endforeach()
file(WRITE ${OUTPUT_DIR}/SHA256SUMS "${sums}")
message(STATUS "Release files in ${OUTPUT_DIR}: ${setup} ${msi} ${portable} ${demo} SHA256SUMS")
