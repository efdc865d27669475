# The benchmark search's node total with the shipped network is the signature of the search,
# the move ordering and the network: a change to any of them that changes it updates
# bench/expected-nodes in the same commit. The sanitizer builds must reach the same total.
add_test(NAME search.bench_nodes
         COMMAND ${CMAKE_COMMAND}
                 -DBENCH=$<TARGET_FILE:tervik-bench>
                 -DNETWORK=${CMAKE_SOURCE_DIR}/nets/gen0-material.nnue
                 -DEXPECTED=${CMAKE_SOURCE_DIR}/bench/expected-nodes
                 -P ${CMAKE_SOURCE_DIR}/tests/search/bench_nodes.cmake)
