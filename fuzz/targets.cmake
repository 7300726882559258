# Each reader adds its fuzz target here with varnel_fuzz().
varnel_fuzz(profile_fuzz SOURCES profile_fuzz.cpp LIBS varnel_platform)
varnel_fuzz(code_page_fuzz SOURCES code_page_fuzz.cpp LIBS varnel_platform)
varnel_fuzz(open_file_message_fuzz SOURCES open_file_message_fuzz.cpp LIBS varnel_shell_core)
varnel_fuzz(region_file_fuzz SOURCES region_file_fuzz.cpp LIBS varnel_document)
varnel_fuzz(layer_file_fuzz SOURCES layer_file_fuzz.cpp LIBS varnel_files)
varnel_fuzz(tool_state_fuzz SOURCES tool_state_fuzz.cpp LIBS varnel_document)
varnel_fuzz(bitmap_file_fuzz SOURCES bitmap_file_fuzz.cpp LIBS varnel_files)
