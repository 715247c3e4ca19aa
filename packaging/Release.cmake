# Makes the release files from a built Windows tree (cmake -P):
#
#   cmake -DSETTINGS=TREE/packaging/settings.cmake -DOUTPUT_DIR=DIR -P Release.cmake
#
# SETTINGS, written by packaging/CMakeLists.txt, names the version, the source folder, the
# built workstation, token-check, module and qrd-token, and the program's icon. Into OUTPUT_DIR go
#   workstation-VERSION-setup.exe       the installer (installer.nsi)
#   workstation-VERSION-portable.zip    the installed files, without the uninstaller
#   workstation-demo-token-VERSION.zip  the software token, qrd-token, token-check and a note
#   SHA256SUMS                          of the three, as sha256sum writes them
# and OUTPUT_DIR/stage holds what was packed.
cmake_minimum_required(VERSION 3.25)

foreach(variable SETTINGS OUTPUT_DIR)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "Release.cmake: -D${variable}=... is required")
    endif()
endforeach()
include(${SETTINGS})
foreach(file ${WORKSTATION_EXE} ${TOKEN_CHECK_EXE} ${MODULE_DLL} ${QRD_TOKEN_EXE} ${ICON})
    if(NOT EXISTS ${file})
        message(FATAL_ERROR "Release.cmake: ${file} is not built")
    endif()
endforeach()
find_program(MAKENSIS makensis)
find_program(ZIP zip)
if(NOT MAKENSIS OR NOT ZIP)
    message(FATAL_ERROR "Release.cmake: makensis and zip are needed (Debian packages nsis, zip)")
endif()

set(here ${CMAKE_CURRENT_LIST_DIR})
set(stage ${OUTPUT_DIR}/stage)
set(program_dir ${stage}/workstation-${VERSION})
set(demo_dir ${stage}/workstation-demo-token-${VERSION})
set(setup workstation-${VERSION}-setup.exe)
set(portable workstation-${VERSION}-portable.zip)
set(demo workstation-demo-token-${VERSION}.zip)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${OUTPUT_DIR}/${setup} ${OUTPUT_DIR}/${portable} ${OUTPUT_DIR}/${demo}
     ${OUTPUT_DIR}/SHA256SUMS)
file(MAKE_DIRECTORY ${program_dir} ${demo_dir})

# What the installer installs: the program, token-check and the user guide with its
# screenshots, as the source folder holds them now (not when the tree was configured).
file(COPY ${WORKSTATION_EXE} ${TOKEN_CHECK_EXE} DESTINATION ${program_dir})
set(guide ${SOURCE_DIR}/docs/guide.md)
if(NOT EXISTS ${guide})
    message(FATAL_ERROR "Release.cmake: the user guide docs/guide.md is missing")
endif()
file(COPY ${guide} DESTINATION ${program_dir}/docs)
file(GLOB screenshots ${SOURCE_DIR}/docs/screenshots/*.png)
if(screenshots)
    file(COPY ${screenshots} DESTINATION ${program_dir}/docs/screenshots)
endif()
file(READ ${guide} guide_text)
string(REGEX MATCHALL "\\(screenshots/[^()]+\\.png\\)" references "${guide_text}")
foreach(reference IN LISTS references)
    string(REGEX REPLACE "^\\((.*)\\)$" "\\1" picture "${reference}")
    if(NOT EXISTS ${SOURCE_DIR}/docs/${picture})
        message(WARNING "The guide shows docs/${picture}, which does not exist")
    endif()
endforeach()

# The installer's file lists, generated from the staged tree: files are installed and removed
# one by one, folders removed deepest first and only when empty.
file(GLOB_RECURSE staged RELATIVE ${program_dir} ${program_dir}/*)
list(SORT staged)
set(install_lines "!macro INSTALL_FILES\n")
set(uninstall_lines "!macro UNINSTALL_FILES\n")
set(folders "")
set(current_folder "-")
foreach(file IN LISTS staged)
    if(file MATCHES "\\$|\"|`")
        message(FATAL_ERROR "Release.cmake: cannot package a file named ${file}")
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
file(WRITE ${stage}/files.nsh "${install_lines}!macroend\n${uninstall_lines}!macroend\n")

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Release.cmake: ${ARGN} failed (${result})")
    endif()
endfunction()

run(${MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${VERSION} -DVERSION4=${VERSION}.0
    -DOUTFILE=${OUTPUT_DIR}/${setup} -DFILES=${stage}/files.nsh -DICON=${ICON}
    ${here}/installer.nsi)

# The demo package: the module, the tool, token-check to try on the demo token, and the note,
# UTF-8 with a byte order mark and Windows line ends so that Notepad shows it right.
file(COPY ${MODULE_DLL} ${QRD_TOKEN_EXE} ${TOKEN_CHECK_EXE} DESTINATION ${demo_dir})
file(READ ${here}/demo-token.txt note)
string(REPLACE "\n" "\r\n" note "${note}")
string(ASCII 239 187 191 bom)
file(WRITE ${demo_dir}/README.txt "${bom}${note}")

# -X leaves out Unix owners and times, which Windows has no use for.
execute_process(COMMAND ${ZIP} -q -X -r ${OUTPUT_DIR}/${portable} workstation-${VERSION}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE result)
execute_process(COMMAND ${ZIP} -q -X -r ${OUTPUT_DIR}/${demo}
                        workstation-demo-token-${VERSION}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE demo_result)
if(NOT result EQUAL 0 OR NOT demo_result EQUAL 0)
    message(FATAL_ERROR "Release.cmake: zip failed")
endif()

set(sums "")
foreach(file ${setup} ${portable} ${demo})
    file(SHA256 ${OUTPUT_DIR}/${file} sum)
    string(APPEND sums "${sum}  ${file}\n")
endforeach()
file(WRITE ${OUTPUT_DIR}/SHA256SUMS "${sums}")
message(STATUS "Release files in ${OUTPUT_DIR}: ${setup} ${portable} ${demo} SHA256SUMS")
