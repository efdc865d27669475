# The UCI session tests start the real program.
if(TARGET tervik)
  add_dependencies(tervik_tests tervik)
endif()
