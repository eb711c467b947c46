# Measurement CPU per second of 48 kHz stereo audio against ffmpeg's ebur128
# filter (true peak on) on the same file, in the same run.
kx_add_bench(measure_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/measure_bench.cpp ${PROJECT_SOURCE_DIR}/tests/support/ffmpeg_loudness.cpp
  LIBS kxMeasure)
target_include_directories(measure_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
