# Each subsystem adds its benchmark programs here with varnel_bench().
varnel_bench(memwell_bench SOURCES memwell_bench.cpp LIBS Memwell)
varnel_bench(core_surface_bench SOURCES core_surface_bench.cpp LIBS varnel_core)
varnel_bench(undo_bench SOURCES undo_bench.cpp LIBS varnel_core)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
varnel_bench(blend_bench SOURCES blend_bench.cpp LIBS varnel_core PkgConfig::PIXMAN)
varnel_bench(region_bench SOURCES region_bench.cpp LIBS varnel_core)
varnel_bench(canvas_bench SOURCES canvas_bench.cpp LIBS varnel_core)
varnel_bench(layer_file_bench SOURCES layer_file_bench.cpp LIBS varnel_document)
varnel_bench(recovery_bench SOURCES recovery_bench.cpp LIBS varnel_document)
pkg_check_modules(MYPAINT IMPORTED_TARGET libmypaint)
if(MYPAINT_FOUND)
  varnel_bench(brush_bench SOURCES brush_bench.cpp LIBS varnel_brush PkgConfig::MYPAINT)
endif()
varnel_bench(picture_commands_bench SOURCES picture_commands_bench.cpp LIBS varnel_document)
# OpenCV's flood fill is the outside reference of the colour selections, for the benchmark only.
find_package(OpenCV QUIET COMPONENTS core imgproc)
varnel_bench(select_bench SOURCES select_bench.cpp LIBS varnel_tools)
if(OpenCV_FOUND)
  target_include_directories(select_bench PRIVATE ${OpenCV_INCLUDE_DIRS})
  target_link_libraries(select_bench PRIVATE ${OpenCV_LIBS})
  target_compile_definitions(select_bench PRIVATE VARNEL_HAVE_OPENCV=1)
endif()
varnel_bench(adjust_bench SOURCES adjust_bench.cpp LIBS varnel_colour)
# QPainter's raster engine is the outside reference of the gradient tool, for the benchmark only.
find_package(Qt6 QUIET COMPONENTS Gui)
if(Qt6Gui_FOUND)
  varnel_bench(gradient_bench SOURCES gradient_bench.cpp LIBS varnel_tools Qt6::Gui)
  varnel_bench(area_shrink_bench SOURCES area_shrink_bench.cpp LIBS varnel_core Qt6::Gui)  # and of zoomed-out views
  varnel_bench(curve_bench SOURCES curve_bench.cpp LIBS varnel_tools Qt6::Gui)  # and of the curve tool
  varnel_bench(shape_bench SOURCES shape_bench.cpp LIBS varnel_tools Qt6::Gui)  # and of the shape tools
  # and of the text tool (whose glyphs come from Qt in the program too) and the layer move tool
  varnel_bench(text_tool_bench SOURCES text_tool_bench.cpp ../shell/text_renderer.cpp LIBS varnel_tools Qt6::Gui)
  varnel_bench(layer_move_bench SOURCES layer_move_bench.cpp LIBS varnel_core Qt6::Gui)
  varnel_bench(grid_bench SOURCES grid_bench.cpp LIBS varnel_tools Qt6::Gui)  # and of the view's grid
endif()
# libvips is the outside reference of the geometric transforms, for the benchmark only.
pkg_check_modules(VIPS IMPORTED_TARGET vips)
if(VIPS_FOUND)
  varnel_bench(transform_bench SOURCES transform_bench.cpp LIBS varnel_transformer varnel_core PkgConfig::VIPS)
endif()
# The filter host around a no-op filter, and the sample blur beside libvips when it is there.
varnel_filter_library(bench_noop_filter OUTPUT_NAME filter_noop
  OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/Filter SOURCES filter_noop.c)
varnel_bench(filter_bench SOURCES filter_bench.cpp LIBS varnel_filters)
target_compile_definitions(filter_bench PRIVATE VARNEL_BENCH_FILTER_DIR="${CMAKE_BINARY_DIR}/bench/Filter"
  VARNEL_PROGRAM_DIR="${VARNEL_PROGRAM_DIR}")
add_dependencies(filter_bench bench_noop_filter sample_effects_filter)
if(VIPS_FOUND)
  target_link_libraries(filter_bench PRIVATE PkgConfig::VIPS)
  target_compile_definitions(filter_bench PRIVATE VARNEL_HAVE_VIPS=1)
endif()
# A filter batch of no-op filters against separate runs of them.
varnel_bench(batch_bench SOURCES batch_bench.cpp LIBS varnel_filters varnel_sievehost)
target_compile_definitions(batch_bench PRIVATE VARNEL_BENCH_FILTER_DIR="${CMAKE_BINARY_DIR}/bench/Filter")
add_dependencies(batch_bench bench_noop_filter)
# The view driven offscreen: a tablet event to its painted dab.
if(TARGET varnel_shell)
  varnel_bench(tablet_latency_bench SOURCES tablet_latency_bench.cpp LIBS varnel_shell)
  # A whole repaint of the view, with and without a selection's outline.
  varnel_bench(view_paint_bench SOURCES view_paint_bench.cpp LIBS varnel_shell)
endif()
varnel_bench(effect_bench SOURCES effect_bench.cpp LIBS varnel_animorph_effects)
# Huebox's picture information (its Qt-free file compiled in) beside sorting for the colour count.
varnel_bench(image_information_bench SOURCES image_information_bench.cpp
  ${PROJECT_SOURCE_DIR}/huebox/image_information.cpp LIBS varnel_sdk)
# Script pixel access: per-pixel calls, rows, and a plain ArrayBuffer loop in the same engine.
varnel_bench(script_bench SOURCES script_bench.cpp LIBS varnel_macrolet)
# One file between two members over loopback: the offer through the relay, the data directly.
varnel_bench(peerlook_transfer_bench SOURCES peerlook_transfer_bench.cpp LIBS varnel_peerlook)
# OpenRaster through Oraport beside the layer file; the plug-in comes from the program folder.
varnel_bench(ora_bench SOURCES ora_bench.cpp LIBS varnel_document)
target_compile_definitions(ora_bench PRIVATE VARNEL_PROGRAM_DIR="${VARNEL_PROGRAM_DIR}")
add_dependencies(ora_bench ora_spi)
# The relay under load: `varnel-cli serve` in a child process, 50 members in the benchmark's.
varnel_bench(peerlook_bench SOURCES peerlook_bench.cpp LIBS varnel_peerlook_wire)
target_compile_definitions(peerlook_bench PRIVATE VARNEL_PROGRAM_DIR="${VARNEL_PROGRAM_DIR}")
add_dependencies(peerlook_bench varnel-cli)
