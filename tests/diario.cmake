# The journal: its file, its states and its failures (a real SQLite file, a small tmpfs for a full disk).
find_package(SQLite3 REQUIRED)
linkor_teste(teste_diario FONTES TesteDiario.cpp LIBS diario SQLite::SQLite3)
