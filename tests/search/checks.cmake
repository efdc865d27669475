# The benchmark search's node total with the shipped network is the signature of the search,
# the move ordering and the network: a change to any of them that changes it updates
# bench/expected-nodes in the same commit. The sanitizer builds must reach the same total.
# The shipped network is the one tervik.ini names.
set(bench_network nets/gen0-material.nnue)
if(EXISTS ${CMAKE_SOURCE_DIR}/tervik.ini)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tervik.ini)
  file(STRINGS ${CMAKE_SOURCE_DIR}/tervik.ini nnue_line REGEX "^nnue_path=")
  if(nnue_line)
    string(REGEX REPLACE "^nnue_path=" "" bench_network "${nnue_line}")
  endif()
endif()
add_test(NAME search.bench_nodes
         COMMAND ${CMAKE_COMMAND}
                 -DBENCH=$<TARGET_FILE:tervik-bench>
                 -DNETWORK=${CMAKE_SOURCE_DIR}/${bench_network}
                 -DEXPECTED=${CMAKE_SOURCE_DIR}/bench/expected-nodes
                 -P ${CMAKE_SOURCE_DIR}/tests/search/bench_nodes.cmake)
