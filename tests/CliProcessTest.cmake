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

# The report's options named when refused; help asked for, not a mistake.
execute_process(COMMAND ${CLI} report ${DATA}/esempio.vlm ${WORK}/x.pdf --sections foo
    RESULT_VARIABLE code ERROR_VARIABLE err)
if(NOT code STREQUAL 2 OR NOT err MATCHES "--sections: sezione sconosciuta \"foo\" \\(copertina,dati,sintesi,nodi,materiali,terminali,verifica,curve,firma\\)")
    message(FATAL_ERROR "report --sections foo: exit ${code}\n${err}")
endif()
# The parts around the tables by their names: the cover and the signature alone, two pages.
expect_exit(0 ${CLI} report ${DATA}/esempio.vlm ${WORK}/copertina.pdf --sections copertina,firma --catalogues ${DATA})
execute_process(COMMAND pdfinfo ${WORK}/copertina.pdf OUTPUT_VARIABLE info)
if(NOT info MATCHES "Pages: +2\n")
    message(FATAL_ERROR "report --sections copertina,firma: expected 2 pages\n${info}")
endif()
# The calculation sheet for a spreadsheet.
expect_exit(0 ${CLI} table ${DATA}/esempio.vlm ${WORK}/esempio.csv --catalogues ${DATA})
file(READ ${WORK}/esempio.csv head LIMIT 3 HEX)
if(NOT head STREQUAL "efbbbf")
    message(FATAL_ERROR "valmora-cli table: no UTF-8 byte order mark")
endif()
file(STRINGS ${WORK}/esempio.csv lines ENCODING UTF-8)
list(LENGTH lines count)
if(count LESS 10)
    message(FATAL_ERROR "valmora-cli table: ${count} lines")
endif()
expect_exit(2 ${CLI} table ${DATA}/esempio.vlm)
expect_exit(0 ${CLI} report --help)
# Curves that cannot be drawn (a pump whose points rise) are refused, and nothing is written.
file(READ ${DATA}/esempio.vlm example)
file(WRITE ${WORK}/pompa-che-sale.vlm "${example}\"Valmora\",1\r\n\"verifica\",\"pompa\",\"0 4, 600 5, 840 6\"\r\n")
execute_process(COMMAND ${CLI} curves ${WORK}/pompa-che-sale.vlm ${WORK}/curve.png --catalogues ${DATA}
    RESULT_VARIABLE code ERROR_VARIABLE err)
if(NOT code STREQUAL 1 OR NOT err MATCHES "curve non esportate" OR EXISTS ${WORK}/curve.png)
    message(FATAL_ERROR "curves of a rising pump: exit ${code}\n${err}")
endif()
