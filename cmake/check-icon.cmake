# Draws the icon afresh and fails unless it equals the committed one.
#   cmake -DGENERATOR=<make_icon> -DOUTPUT=<new.ico> -DCOMMITTED=<ui/res/t6update.ico> -P check-icon.cmake
execute_process(COMMAND ${GENERATOR} ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_icon failed: ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${COMMITTED} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${COMMITTED} is not what make_icon draws; run scripts/make-icon.sh")
endif()
