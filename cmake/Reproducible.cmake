# The shipped Windows files are the same bytes from every clean build of one commit, whatever
# the build folder, the user or the clock.
#
# Paths: __FILE__ and every other path the compiler writes name the source and build folders
# relatively. Times: the MinGW linker writes SOURCE_DATE_EPOCH, when it is set, as the time
# stamp of the PE header and of a DLL's export table instead of the current time; the shipped
# targets are linked with it set to the commit's time (workstation_shipped below).
if(NOT WIN32)
    return()
endif()

# The build folder usually lies inside the source folder; the later, longer prefix wins.
add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/>")

# The commit's time, read at every build (a commit may change no source) and written only
# when it changed, so that nothing is linked again for nothing.
set(WORKSTATION_SOURCE_DATE_EPOCH_FILE ${CMAKE_BINARY_DIR}/source-date-epoch)
add_custom_target(source_date_epoch
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DOUTPUT=${WORKSTATION_SOURCE_DATE_EPOCH_FILE}
            -P ${CMAKE_CURRENT_LIST_DIR}/SourceDateEpoch.cmake
    BYPRODUCTS ${WORKSTATION_SOURCE_DATE_EPOCH_FILE}
    COMMENT "Reading the commit's time"
    VERBATIM)

# A program or DLL that ships: linked at the commit's time and stripped (no symbol table and
# no debugging information of the static libraries).
function(workstation_shipped)
    foreach(target IN LISTS ARGN)
        add_dependencies(${target} source_date_epoch)
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
                     ${WORKSTATION_SOURCE_DATE_EPOCH_FILE})
        set_property(TARGET ${target} PROPERTY CXX_LINKER_LAUNCHER
                     ${PROJECT_SOURCE_DIR}/cmake/link-at-source-date
                     ${WORKSTATION_SOURCE_DATE_EPOCH_FILE})
        target_link_options(${target} PRIVATE -s)
    endforeach()
endfunction()
