# tervik-train as a program: made-up data, two runs with one seed give the same weight file,
# a third start from the first one's file, and refusals of bad input.
add_test(NAME tools.train_session
         COMMAND ${CMAKE_COMMAND} -DTRAIN=$<TARGET_FILE:tervik-train>
                 -DWORK=${CMAKE_BINARY_DIR}/train_session
                 -P ${CMAKE_CURRENT_LIST_DIR}/train_session.cmake)
