# Lip-sync detection CPU against the decode thread's own work (H.264 decode
# and BGRA conversion) on the same 1920x1080 pictures, in the same run.
if(TARGET kxMeasure AND TARGET kxAudioChunk)
  kx_add_bench(lipsync_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/lipsync_bench.cpp
    LIBS kxMeasure kxAudioChunk)  # kxAudioChunk brings FFmpeg
endif()
