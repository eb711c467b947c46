# Frame composition: picture plus the three widgets against the picture alone.
kx_add_bench(compose_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/compose_bench.cpp LIBS kxView)
