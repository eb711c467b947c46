# Cost of one CKxLog::Log call against spdlog's asynchronous logger.
find_package(spdlog REQUIRED)
kx_add_bench(log_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_bench.cpp
  LIBS kxSystem spdlog::spdlog)
