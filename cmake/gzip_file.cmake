# FILE.gz as Debian wants it: gzip -9n, no name and no time stamp inside, so
# the same file gives the same bytes.
#   cmake -DGZIP=... -DINPUT=FILE -DOUTPUT=FILE.gz -P gzip_file.cmake
execute_process(COMMAND ${GZIP} -9n -c INPUT_FILE ${INPUT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "gzip failed on ${INPUT}")
endif()
