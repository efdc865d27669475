# The benchmark search's node total with the shipped network is the signature of the search,
# the move ordering and the network: a change to any of them that changes it updates
# bench/expected-nodes in the same commit. Release only: depth 9 over thirteen positions is
# too slow under the sanitizers.
if(NOT TERVIK_SANITIZE AND NOT TERVIK_TSAN)
  add_test(NAME search.bench_nodes
           COMMAND ${CMAKE_COMMAND}
                   -DBENCH=$<TARGET_FILE:tervik-bench>
                   -DNETWORK=${CMAKE_SOURCE_DIR}/nets/gen0-material.nnue
                   -DEXPECTED=${CMAKE_SOURCE_DIR}/bench/expected-nodes
                   -P ${CMAKE_SOURCE_DIR}/tests/search/bench_nodes.cmake)
endif()
