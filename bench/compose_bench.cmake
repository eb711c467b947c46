# Frame composition: picture plus the three widgets against the picture alone.
kx_add_bench(compose_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/compose_bench.cpp ${PROJECT_SOURCE_DIR}/tests/support/allocation_counter.cpp
  LIBS kxView)
target_include_directories(compose_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
