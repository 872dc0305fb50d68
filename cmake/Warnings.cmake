# Every target of the project compiles with the same strict warnings. The project's own builds
# (presets, scripts, CI) treat them as errors; a distribution's plain build does not, so a newer
# compiler's new warning cannot break a packager's build.
option(VORKAN_WERROR "Treat compiler warnings as errors" OFF)

function(vorkan_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough)
  if(VORKAN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
    # GCC 12 reports overlapping copies inside std::string at -O3 that cannot happen
    # (GCC bug 105329); they stay warnings so that an optimised build still succeeds.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE -Wno-error=restrict)
    endif()
  endif()
endfunction()
