# The benchmark search's node total with the shipped network is the signature of the search,
# the move ordering and the network: a change to any of them that changes it updates
# bench/expected-nodes in the same commit. Release only: depth 9 over thirteen positions is
# too slow under the sanitizers.
if(NOT TERVIK_SANITIZE AND NOT TERVIK_TSAN)
  set(TERVIK_BENCH_EXPECTED_FILE ${CMAKE_SOURCE_DIR}/bench/expected-nodes)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TERVIK_BENCH_EXPECTED_FILE})
  file(STRINGS ${TERVIK_BENCH_EXPECTED_FILE} TERVIK_BENCH_EXPECTED_NODES LIMIT_COUNT 1)
  string(STRIP "${TERVIK_BENCH_EXPECTED_NODES}" TERVIK_BENCH_EXPECTED_NODES)
  add_test(NAME search.bench_nodes
           COMMAND tervik-bench ${CMAKE_SOURCE_DIR}/nets/gen0-material.nnue)
  set_tests_properties(search.bench_nodes PROPERTIES
                       PASS_REGULAR_EXPRESSION "(^|\n)${TERVIK_BENCH_EXPECTED_NODES} nodes [0-9]+ nps")
endif()
