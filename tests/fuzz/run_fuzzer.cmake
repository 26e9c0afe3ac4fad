# One fuzz test: runs FUZZER for SECONDS over a fresh copy of the seeds in
# SEEDS, inside WORK, so that what it adds or finds stays in the build folder.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/findings)
file(COPY ${SEEDS}/ DESTINATION ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -print_final_stats=1
          -artifact_prefix=${WORK}/findings/ ${WORK}/corpus
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} exited with ${result}; the input that broke it is in ${WORK}/findings")
endif()
