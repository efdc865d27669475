# Driven by checks.cmake: runs tervik-train and checks its exit statuses, output and files.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

include(${CMAKE_CURRENT_LIST_DIR}/session_helpers.cmake)

run(0 ${TRAIN} --make-test-data ${WORK}/data.rec 10000 7)
file(SIZE ${WORK}/data.rec size)
if(NOT size EQUAL 320000)
  message(FATAL_ERROR "data.rec has ${size} bytes, expected 320000")
endif()

set(common ${WORK}/data.rec --val-split 0.1 --passes 3 --batch 1024 --threads 3 --seed 5 --lambda 0.5)
run(0 ${TRAIN} ${common} --out ${WORK}/a.nnue --save-every 2)
expect("9000 training and 1000 validation records")
expect("pass 3  step 27/27  train loss [0-9.]+  val loss [0-9.]+  lr [0-9.e-]+  [0-9]+ pos/s")
expect("wrote ")
run(0 ${TRAIN} ${common} --out ${WORK}/b.nnue)
run(0 ${CMAKE_COMMAND} -E compare_files ${WORK}/a.nnue ${WORK}/b.nnue)
if(NOT EXISTS ${WORK}/a.nnue.pass2 OR EXISTS ${WORK}/a.nnue.pass3)
  message(FATAL_ERROR "--save-every 2 must write a.nnue.pass2 and nothing for the last pass")
endif()

# Continuing from a file, by positions instead of passes.
run(0 ${TRAIN} ${WORK}/data.rec --val ${WORK}/data.rec --start ${WORK}/a.nnue --positions 5000
    --batch 1000 --threads 2 --out ${WORK}/c.nnue)
expect("5 steps \\(0.50 passes\\)")
expect("pass 1  step 5/5")

# Refusals: malformed data, a damaged start file, bad options.
file(WRITE ${WORK}/short.rec "not a record")
run(1 ${TRAIN} ${WORK}/short.rec --out ${WORK}/d.nnue)
expect("size 12 is not a multiple of 32 bytes")
file(WRITE ${WORK}/broken.nnue "KVAR")
run(1 ${TRAIN} ${WORK}/data.rec --start ${WORK}/broken.nnue --out ${WORK}/d.nnue)
expect("zu klein")
run(1 ${TRAIN} ${WORK}/missing.rec)
expect("cannot open")
run(2 ${TRAIN})
expect("no data files")
run(2 ${TRAIN} ${WORK}/data.rec --lambda 1.5)
expect("bad value for --lambda")
run(2 ${TRAIN} ${WORK}/data.rec --frobnicate 1)
expect("unknown option --frobnicate")
if(EXISTS ${WORK}/d.nnue)
  message(FATAL_ERROR "a refused run wrote a weight file")
endif()
