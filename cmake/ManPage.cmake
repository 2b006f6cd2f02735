# Turns one scdoc manual page into gzip-compressed roff, the project version filled in.
#   cmake -DSCDOC=path -DINPUT=page.1.scd -DOUTPUT=page.1.gz -DVERSION=x.y -P ManPage.cmake
string(REGEX REPLACE "\\.gz$" "" roff ${OUTPUT})
file(READ ${INPUT} text)
string(REPLACE "@PROJECT_VERSION@" "${VERSION}" text "${text}")
file(WRITE ${roff}.scd "${text}")
execute_process(COMMAND ${SCDOC} INPUT_FILE ${roff}.scd OUTPUT_FILE ${roff}
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "scdoc failed on ${INPUT}: ${errors}")
endif()
# -n keeps the name and time out of the archive, so the same page gives the same bytes.
execute_process(COMMAND gzip -9 -n -c ${roff} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${roff}")
endif()
