# Writes the time of the commit being built, in seconds since 1970, into OUTPUT when it is not
# already there (cmake -DSOURCE_DIR=... -DOUTPUT=... -P SourceDateEpoch.cmake). A non-empty
# SOURCE_DATE_EPOCH in the environment wins over the commit.
cmake_minimum_required(VERSION 3.25)

if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    if(NOT epoch MATCHES "^[0-9]+$")
        message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds, not \"${epoch}\"")
    endif()
else()
    find_program(GIT git)
    if(GIT)
        execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} log -1 --format=%ct
                        OUTPUT_VARIABLE epoch ERROR_VARIABLE error RESULT_VARIABLE result
                        OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    if(NOT GIT OR NOT result EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
        # A copy of the sources without their history (an archive, a folder git does not
        # trust) still builds: at the earliest time a zip entry can hold, the same for every
        # such build, and said so. A release is made from a clone, or with SOURCE_DATE_EPOCH.
        message(WARNING "The commit's time cannot be read from ${SOURCE_DIR} "
                        "(git log -1 --format=%ct: ${error}); 1980-01-01 is used instead. "
                        "Set SOURCE_DATE_EPOCH to build a release from these sources.")
        set(epoch 315532800)
    endif()
endif()

set(old "")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL "${epoch}\n")
    file(WRITE ${OUTPUT} "${epoch}\n")
endif()
