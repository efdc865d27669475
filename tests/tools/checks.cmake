# tervik-train as a program: made-up data, two runs with one seed give the same weight file,
# a third start from the first one's file, and refusals of bad input.
add_test(NAME tools.train_session
         COMMAND ${CMAKE_COMMAND} -DTRAIN=$<TARGET_FILE:tervik-train>
                 -DWORK=${CMAKE_BINARY_DIR}/train_session
                 -P ${CMAKE_CURRENT_LIST_DIR}/train_session.cmake)

# tervik-datagen as a program: the same games whatever the number of workers, records the
# trainer reads, refusals of bad options.
add_test(NAME tools.datagen_session
         COMMAND ${CMAKE_COMMAND} -DDATAGEN=$<TARGET_FILE:tervik-datagen>
                 -DTRAIN=$<TARGET_FILE:tervik-train> -DSOURCE=${CMAKE_SOURCE_DIR}
                 -DWORK=${CMAKE_BINARY_DIR}/datagen_session
                 -P ${CMAKE_CURRENT_LIST_DIR}/datagen_session.cmake)
