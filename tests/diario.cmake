# The journal: its file, its states and its failures (a real SQLite file, a small tmpfs for a full disk).
find_package(SQLite3 REQUIRED)
linkor_teste(teste_diario FONTES TesteDiario.cpp DiarioTeste.h LIBS diario SQLite::SQLite3)
# The technician's tool, run as a process against a journal the test fills.
linkor_teste(teste_ferramenta_diario FONTES TesteFerramentaDiario.cpp DiarioTeste.h SimuladorTeste.h LIBS diario)
add_dependencies(teste_ferramenta_diario linkor-diario)
