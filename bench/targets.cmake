# Each subsystem adds its benchmark programs here with varnel_bench().
varnel_bench(memwell_bench SOURCES memwell_bench.cpp LIBS Memwell)
varnel_bench(core_surface_bench SOURCES core_surface_bench.cpp LIBS varnel_core)
varnel_bench(undo_bench SOURCES undo_bench.cpp LIBS varnel_core)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
varnel_bench(blend_bench SOURCES blend_bench.cpp LIBS varnel_core PkgConfig::PIXMAN)
varnel_bench(region_bench SOURCES region_bench.cpp LIBS varnel_document)
varnel_bench(canvas_bench SOURCES canvas_bench.cpp LIBS varnel_canvas)
