# CPU per 10 s of a 1920x1080 H.264 + AAC camera stream through the preview
# session, against the ffmpeg command line decoding the same stream to BGRA.
if(TARGET kxMedia AND TARGET kxAudio AND TARGET kxAnalysis)
  kx_add_bench(decode_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/decode_bench.cpp
    LIBS kxMedia kxAudio kxAnalysis)
  target_compile_definitions(decode_bench PRIVATE
    KX_RTSP_CAMERA_SCRIPT="${PROJECT_SOURCE_DIR}/tools/demo-camera/rtsp_camera.py")
endif()
