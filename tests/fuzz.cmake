# Every fuzz target over a few thousand inputs from a fixed seed.
linkor_teste(teste_fuzz FONTES TesteFuzz.cpp LIBS fuzz_alvos)
