# Runs the command-line tool as a process: usage, invalid input and success exit codes.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(expect_exit expected)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT code STREQUAL expected)
        message(FATAL_ERROR "${ARGN}: exit ${code}, expected ${expected}\n${out}\n${err}")
    endif()
endfunction()

expect_exit(2 ${CLI})
expect_exit(2 ${CLI} frobnicate x.vlm)
file(WRITE ${WORK}/garbage.vlm "\"\"\n\n\n,,,,,\"\n")
expect_exit(1 ${CLI} calc ${WORK}/garbage.vlm --catalogues ${DATA})
# Devices are refused before they are read: no endless read, no abort for lack of memory.
expect_exit(1 ${CLI} calc /dev/zero --catalogues ${DATA})
expect_exit(0 ${CLI} calc ${DATA}/esempio.vlm --catalogues ${DATA} --json)
expect_exit(0 ${CLI} save ${DATA}/esempio.vlm ${WORK}/copy.vlm --catalogues ${DATA})
file(READ ${DATA}/esempio.vlm original HEX)
file(READ ${WORK}/copy.vlm copy HEX)
if(NOT original STREQUAL copy)
    message(FATAL_ERROR "esempio.vlm did not come back byte for byte")
endif()

# The PDF commands: the schema of the example, a usage error for an option it does not take.
expect_exit(0 ${CLI} schema ${DATA}/esempio.vlm ${WORK}/esempio-schema.pdf --catalogues ${DATA})
file(READ ${WORK}/esempio-schema.pdf head LIMIT 4 HEX)
if(NOT head STREQUAL "25504446") # "%PDF"
    message(FATAL_ERROR "valmora-cli schema wrote no PDF")
endif()
expect_exit(2 ${CLI} schema ${DATA}/esempio.vlm ${WORK}/x.pdf --sections nodi)
expect_exit(1 ${CLI} schema ${WORK}/garbage.vlm ${WORK}/x.pdf --catalogues ${DATA})
