# Whatever the build machine's package holds is the version asked for.
set(PACKAGE_VERSION_COMPATIBLE TRUE)
