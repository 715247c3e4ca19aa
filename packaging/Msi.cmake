# Makes the Windows Installer package of the staged program folder (cmake -P):
#
#   cmake -DPROGRAM_DIR=DIR -DVERSION=x.y.z -DEPOCH=SECONDS -DICON=FILE.ico -DOUTPUT=FILE.msi
#         -DWORK_DIR=DIR -P Msi.cmake
#
# WORK_DIR, emptied first, holds the WiX source and the package while it is made.
#
# For administrators who deploy the program with group policy or a management tool: per
# machine into "Program Files\Veltora QRD Workstation", a Start-menu folder with the program
# and the user guide, the entry in "Programs and Features" (with the program's icon), and
# silent installation and removal (msiexec /i FILE /qn, msiexec /x FILE /qn). A newer version
# replaces an older one in place (a major upgrade: one upgrade code for every version, a
# product code of each version's own); an older one does not install over a newer one.
#
# wixl (Debian wixl) writes the package from a generated WiX source. It stores only text of
# the database's code page, and gives every new database none, so the Russian texts are put
# in afterwards with msibuild (msitools) once the code page is Cyrillic (1251). wixl also
# writes the current time and a random package code into the summary: it runs at the
# commit's time (faketime), and msibuild sets a package code made from the version and that
# time, so that the same files give the same bytes.
cmake_minimum_required(VERSION 3.25)

foreach(variable PROGRAM_DIR VERSION EPOCH ICON OUTPUT WORK_DIR)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "Msi.cmake: -D${variable}=... is required")
    endif()
endforeach()
foreach(tool wixl msibuild msiinfo faketime)
    string(TOUPPER ${tool} variable)
    find_program(${variable} ${tool})
    if(NOT ${variable})
        message(FATAL_ERROR "Msi.cmake: ${tool} is needed (Debian packages wixl, msitools, faketime)")
    endif()
endforeach()

set(product "АРМ пользователя Veltora QRD")
# Never changes: Windows Installer knows every version of the program by it.
set(upgrade_code E9C8D3FA-2174-464F-840C-64D87F87EC86)
string(UUID product_code NAMESPACE ${upgrade_code} NAME "product ${VERSION}" TYPE SHA1 UPPER)
string(UUID package_code NAMESPACE ${upgrade_code} NAME "package ${VERSION} ${EPOCH}" TYPE SHA1
       UPPER)

# The Russian texts, and the placeholders the WiX source carries in their place.
set(texts
    PRODUCT_NAME_RU "${product}"
    MENU_FOLDER_RU "${product}"
    PROGRAM_SHORTCUT_RU "${product}"
    GUIDE_SHORTCUT_RU "Руководство пользователя"
    DOWNGRADE_RU "Установлена более новая версия программы «${product}». Чтобы установить эту версию, сначала удалите установленную.")

# One component per file, whose identifier comes from its path, so that the same file has the
# same component in every version.
file(GLOB_RECURSE staged RELATIVE ${PROGRAM_DIR} ${PROGRAM_DIR}/*)
list(SORT staged)
if(NOT "workstation.exe" IN_LIST staged OR NOT "docs/guide.html" IN_LIST staged)
    message(FATAL_ERROR "Msi.cmake: ${PROGRAM_DIR} lacks workstation.exe or docs/guide.html")
endif()

# The folder tree as nested Directory elements, each holding its files' components.
set(components "")
function(folder_elements relative indent output)
    set(text "")
    set(index 0)
    foreach(file IN LISTS staged)
        get_filename_component(parent "${file}" DIRECTORY)
        if(NOT parent STREQUAL relative)
            continue()
        endif()
        if(file MATCHES "[\"&<>']")
            message(FATAL_ERROR "Msi.cmake: cannot package a file named ${file}")
        endif()
        string(MAKE_C_IDENTIFIER "f_${file}" id)
        string(UUID guid NAMESPACE ${upgrade_code} NAME "component ${file}" TYPE SHA1 UPPER)
        get_filename_component(name "${file}" NAME)
        string(APPEND text "${indent}<Component Id=\"c${id}\" Guid=\"${guid}\" Win64=\"yes\">\n"
            "${indent}  <File Id=\"${id}\" Name=\"${name}\" Source=\"${program_dir}/${file}\" KeyPath=\"yes\"/>\n")
        string(APPEND text "${indent}</Component>\n")
        list(APPEND components c${id})
    endforeach()
    set(folders "")
    foreach(file IN LISTS staged)
        get_filename_component(parent "${file}" DIRECTORY)
        get_filename_component(grandparent "${parent}" DIRECTORY)
        if(NOT parent STREQUAL "" AND grandparent STREQUAL relative)
            list(APPEND folders "${parent}")
        endif()
    endforeach()
    list(REMOVE_DUPLICATES folders)
    foreach(folder IN LISTS folders)
        string(MAKE_C_IDENTIFIER "d_${folder}" id)
        get_filename_component(name "${folder}" NAME)
        folder_elements("${folder}" "${indent}  " inner)
        string(APPEND text "${indent}<Directory Id=\"${id}\" Name=\"${name}\">\n${inner}"
                           "${indent}</Directory>\n")
    endforeach()
    set(${output} "${text}" PARENT_SCOPE)
    set(components "${components}" PARENT_SCOPE)
endfunction()
get_filename_component(OUTPUT "${OUTPUT}" ABSOLUTE)
get_filename_component(work "${WORK_DIR}" ABSOLUTE)
# wixl takes the files' paths relative to the source's folder only.
file(RELATIVE_PATH program_dir ${work} ${PROGRAM_DIR})
file(RELATIVE_PATH icon ${work} ${ICON})
folder_elements("" "          " installed)
# The Start-menu folder with its two shortcuts.
string(UUID shortcuts_guid NAMESPACE ${upgrade_code} NAME "shortcuts" TYPE SHA1 UPPER)
set(references "      <ComponentRef Id=\"cShortcuts\"/>\n")
foreach(component IN LISTS components)
    string(APPEND references "      <ComponentRef Id=\"${component}\"/>\n")
endforeach()

file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(WRITE ${work}/workstation.wxs "<?xml version=\"1.0\" encoding=\"utf-8\"?>
<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">
  <Product Id=\"${product_code}\" Name=\"PRODUCT_NAME_RU\" Version=\"${VERSION}\"
           Manufacturer=\"Veltora\" Language=\"1049\" UpgradeCode=\"${upgrade_code}\">
    <Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"perMachine\"
             Description=\"Veltora QRD Workstation ${VERSION}\" Manufacturer=\"Veltora\"
             Comments=\"Veltora QRD Workstation ${VERSION}\"/>
    <MajorUpgrade DowngradeErrorMessage=\"DOWNGRADE_RU\"/>
    <Media Id=\"1\" Cabinet=\"workstation.cab\" EmbedCab=\"yes\"/>
    <Icon Id=\"workstation.ico\" SourceFile=\"${icon}\"/>
    <Property Id=\"ARPPRODUCTICON\" Value=\"workstation.ico\"/>
    <Property Id=\"ARPNOMODIFY\" Value=\"1\"/>
    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">
      <Directory Id=\"ProgramFiles64Folder\">
        <Directory Id=\"INSTALLDIR\" Name=\"Veltora QRD Workstation\">
${installed}        </Directory>
      </Directory>
      <Directory Id=\"ProgramMenuFolder\">
        <Directory Id=\"ProgramMenuDir\" Name=\"MENU_FOLDER_RU\">
          <Component Id=\"cShortcuts\" Guid=\"${shortcuts_guid}\" Win64=\"yes\">
            <CreateFolder/>
            <Shortcut Id=\"ProgramShortcut\" Name=\"PROGRAM_SHORTCUT_RU\" Target=\"[#f_workstation_exe]\"
                      WorkingDirectory=\"INSTALLDIR\" Icon=\"workstation.ico\"/>
            <Shortcut Id=\"GuideShortcut\" Name=\"GUIDE_SHORTCUT_RU\" Target=\"[#f_docs_guide_html]\"/>
            <RemoveFolder Id=\"RemoveProgramMenuDir\" On=\"uninstall\"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id=\"Complete\" Level=\"1\">
${references}    </Feature>
  </Product>
</Wix>
")

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result WORKING_DIRECTORY ${work})
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Msi.cmake: ${ARGN} failed (${result})")
    endif()
endfunction()

# The commit's time as wixl's clock, in UTC.
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP time "%Y-%m-%d %H:%M:%S" UTC)
set(msi ${work}/workstation.msi)
run(${CMAKE_COMMAND} -E env TZ=UTC0 ${FAKETIME} -f "${time}" ${WIXL} -a x64 -o ${msi}
    workstation.wxs)

string(ASCII 13 10 crlf)
file(WRITE ${work}/_ForceCodepage.idt "${crlf}${crlf}1251\t_ForceCodepage${crlf}")
run(${MSIBUILD} ${msi} -i _ForceCodepage.idt)
set(updates
    "UPDATE Property SET Value='{PRODUCT_NAME_RU}' WHERE Value='PRODUCT_NAME_RU'"
    "UPDATE Directory SET DefaultDir='{MENU_FOLDER_RU}' WHERE DefaultDir='MENU_FOLDER_RU'"
    "UPDATE Shortcut SET Name='{PROGRAM_SHORTCUT_RU}' WHERE Name='PROGRAM_SHORTCUT_RU'"
    "UPDATE Shortcut SET Name='{GUIDE_SHORTCUT_RU}' WHERE Name='GUIDE_SHORTCUT_RU'"
    "UPDATE LaunchCondition SET Description='{DOWNGRADE_RU}' WHERE Description='DOWNGRADE_RU'")
list(LENGTH texts count)
foreach(update IN LISTS updates)
    foreach(index RANGE 0 ${count} 2)
        if(index LESS count)
            math(EXPR next "${index} + 1")
            list(GET texts ${index} key)
            list(GET texts ${next} value)
            string(REPLACE "{${key}}" "${value}" update "${update}")
        endif()
    endforeach()
    run(${MSIBUILD} ${msi} -q "${update}")
endforeach()
# Not through run(): the template "x64;1049" would be split there as a CMake list.
execute_process(COMMAND ${MSIBUILD} ${msi} -s "Veltora QRD Workstation" Veltora "x64;1049"
                        "{${package_code}}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Msi.cmake: msibuild could not write the summary (${result})")
endif()

# Every placeholder was replaced (the string pool keeps the old strings, the tables do not).
foreach(table Property Directory Shortcut LaunchCondition)
    execute_process(COMMAND ${MSIINFO} export ${msi} ${table} OUTPUT_VARIABLE rows
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0 OR rows MATCHES "[A-Z_]+_RU")
        message(FATAL_ERROR "Msi.cmake: the ${table} table keeps a text untranslated: ${rows}")
    endif()
endforeach()
file(RENAME ${msi} ${OUTPUT})
