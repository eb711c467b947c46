# One analysis tick against the same tick with FFTW's real transform as the
# reference (FFTW found through pkg-config; skipped when it is missing).
pkg_check_modules(KX_FFTW3 IMPORTED_TARGET fftw3)
if(KX_FFTW3_FOUND)
  kx_add_bench(analysis_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_bench.cpp
    LIBS kxAnalysis PkgConfig::KX_FFTW3)
  target_compile_options(analysis_bench PRIVATE -O3 -ffp-contract=off)
else()
  message(STATUS "fftw3 not found: analysis_bench is not built")
endif()
