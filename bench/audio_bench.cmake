# Audio output: render-thread CPU per second of playback and the latency
# from CAVFifo::Write to the sink's monitor, against paplay in the same run.
pkg_check_modules(KX_BENCH_PULSE_SIMPLE IMPORTED_TARGET libpulse-simple)
if(TARGET kxAudio AND KX_BENCH_PULSE_SIMPLE_FOUND)
  kx_add_bench(audio_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_bench.cpp ${PROJECT_SOURCE_DIR}/tests/support/pulse_support.cpp
    LIBS kxAudio PkgConfig::KX_BENCH_PULSE_SIMPLE)
  target_include_directories(audio_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
endif()
