# Every count of the perft suites through the real tervik-perft; the sanitizer builds stop at
# depth 4 to keep the run short, the full depths belong to the benchmark.
if(TERVIK_SANITIZE OR TERVIK_TSAN)
  set(TERVIK_PERFT_CHECK_DEPTH 4)
else()
  set(TERVIK_PERFT_CHECK_DEPTH 5)
endif()
foreach(suite perftsuite perft-cpw)
  add_test(NAME perft.${suite}
    COMMAND tervik-perft ${CMAKE_SOURCE_DIR}/tests/data/perft/${suite}.epd ${TERVIK_PERFT_CHECK_DEPTH})
endforeach()
