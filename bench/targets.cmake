# Each subsystem adds its benchmark programs here with varnel_bench().
varnel_bench(memwell_bench SOURCES memwell_bench.cpp LIBS Memwell)
varnel_bench(core_surface_bench SOURCES core_surface_bench.cpp LIBS varnel_core)
varnel_bench(undo_bench SOURCES undo_bench.cpp LIBS varnel_core)
