# Run as a test fixture: gives the fuzzer a fresh writable copy of the seed corpus and an empty
# place for crash inputs, so each bounded run starts from the same state.
foreach(var SEEDS SCRATCH ARTIFACTS)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ResetCorpus.cmake needs -D${var}=...")
    endif()
endforeach()
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH} ${ARTIFACTS})
file(COPY ${SEEDS}/ DESTINATION ${SCRATCH})
