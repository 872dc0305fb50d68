# The Release build, which a package is made from, gets the hardening of Debian's own builds
# (dpkg-buildflags): checked buffer functions, and every symbol bound at start so the
# relocation tables can be made read-only. Only there: _FORTIFY_SOURCE needs the optimiser.
add_compile_options("$<$<CONFIG:Release>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
add_link_options("$<$<CONFIG:Release>:-Wl,-z,now>")
