# The control channel's per-input-event path.
add_executable(nimbrosta-bench-control ${CMAKE_CURRENT_LIST_DIR}/ControlChannelBench.cpp)
target_link_libraries(nimbrosta-bench-control PRIVATE stream benchmark::benchmark Threads::Threads)
if(TARGET stubstreamer)
  target_link_libraries(nimbrosta-bench-control PRIVATE stubstreamer)
endif()
# A quick run in ctest keeps the benchmark building and working; figures come from hand runs.
add_test(NAME bench_control_smoke
  COMMAND nimbrosta-bench-control --benchmark_min_time=0.01)
set_tests_properties(bench_control_smoke PROPERTIES LABELS bench TIMEOUT 120)
