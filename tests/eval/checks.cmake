# The shipped gen-0 network must be exactly what "tervik-net gen0" writes today.
add_test(NAME eval.gen0_network_remake
         COMMAND tervik-net gen0 ${CMAKE_BINARY_DIR}/gen0-material-remade.nnue)
set_tests_properties(eval.gen0_network_remake PROPERTIES FIXTURES_SETUP gen0_remade)
add_test(NAME eval.gen0_network_matches_shipped
         COMMAND ${CMAKE_COMMAND} -E compare_files
                 ${CMAKE_SOURCE_DIR}/nets/gen0-material.nnue
                 ${CMAKE_BINARY_DIR}/gen0-material-remade.nnue)
set_tests_properties(eval.gen0_network_matches_shipped PROPERTIES FIXTURES_REQUIRED gen0_remade)
# The tool's check command reports the loader's verdict as its exit status.
add_test(NAME eval.net_tool_checks_shipped
         COMMAND tervik-net check ${CMAKE_SOURCE_DIR}/nets/gen0-material.nnue)
set_tests_properties(eval.net_tool_checks_shipped PROPERTIES
                     PASS_REGULAR_EXPRESSION "NNUE: geladen")
