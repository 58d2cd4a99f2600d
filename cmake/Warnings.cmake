# One warning policy for every target of the project; third-party code
# (GoogleTest) is built outside it.
function(tavo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Woverloaded-virtual -Wformat=2 -Werror=return-type)
endfunction()

if(WIN32)
  # Windows binaries carry their C and C++ runtime inside: they import only
  # the system's own DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Windows 7 SP1 is the oldest Windows they run on: the headers offer
  # nothing later, and the PE headers say 6.1.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  add_link_options(-Wl,--major-os-version,6 -Wl,--minor-os-version,1
    -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1)
endif()
