# Pixel kernels per instruction set: the kernel sources are compiled for the SSE2 baseline as
# they are, and again for SSSE3/SSE4.1 and for AVX2 through generated wrappers that name the
# variant. Floating-point kernels keep exact single-precision results: no contraction to FMA.
set(IMVELA_KERNEL_SOURCES demosaic tone_kernels sharpness hue_saturation format_conversion white_balance
    region_average gray_kernels kernel_variant_table)

function(imvela_kernel_variants sources_var)
  set(sources ${${sources_var}})
  foreach(name ${IMVELA_KERNEL_SOURCES})
    set_property(SOURCE ${CMAKE_SOURCE_DIR}/imaging/${name}.cpp APPEND PROPERTY COMPILE_OPTIONS -ffp-contract=off)
  endforeach()
  if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "x86|X86|i.86|AMD64|amd64")
    set(${sources_var} ${sources} PARENT_SCOPE)
    return()
  endif()
  # 32-bit Windows code may be entered with a stack aligned to 4 bytes only, and GCC for
  # Windows cannot align spills of 32-byte vectors on the stack: realign the stack, and let
  # the assembler turn aligned vector moves into unaligned ones (same speed on aligned data).
  set(realign "")
  if(WIN32)
    set(realign -mstackrealign -Wa,-muse-unaligned-vector-move)
  endif()
  foreach(variant sse41 avx2)
    if(variant STREQUAL sse41)
      set(flags -mssse3 -msse4.1)
    else()
      set(flags -mavx2)
    endif()
    foreach(name ${IMVELA_KERNEL_SOURCES})
      set(wrapper ${CMAKE_BINARY_DIR}/kernel_variants/${variant}/${name}.cpp)
      file(CONFIGURE OUTPUT ${wrapper} CONTENT "#include \"imaging/${name}.cpp\"\n")
      set_source_files_properties(${wrapper} PROPERTIES
        COMPILE_DEFINITIONS IMVELA_KERNEL_VARIANT=${variant}
        COMPILE_OPTIONS "${flags};${realign};-ffp-contract=off")
      list(APPEND sources ${wrapper})
    endforeach()
  endforeach()
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/imaging/kernel_dispatch.cpp APPEND PROPERTY
    COMPILE_DEFINITIONS IMVELA_X86_KERNEL_VARIANTS)
  set(${sources_var} ${sources} PARENT_SCOPE)
endfunction()
