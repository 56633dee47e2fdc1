// linkor-diario run as the technician runs it: the built program, as a process, against a journal
// this test fills through the library, with and without a Linkor holding the station.
#include "DiarioTeste.h"
#include "SimuladorTeste.h"
#include "TravaInstancia.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>

namespace {

using namespace DiarioTeste;

const QString kMotivoChave = QStringLiteral("violação de chave; Id 102 já gravado em 11/12/2026");

// 1 waiting, 2 held by the key, 3 stored, 4 discarded, 5 stored and missing, 6 a repeat of 3,
// 7 held for an unknown nozzle, read the day before.
void Preenche(const QString& pasta)
{
    TDiario d(TDiario::ArquivoDoPosto(pasta + '/'));
    for (int id = 101; id <= 105; ++id)
        d.Acrescenta(Bruto(id, "04"), kLayoutFid, Campos(id, "04"), kOrigemLeitura, kAgora.addSecs(id - 100));
    d.Acrescenta(Bruto(103, "04"), kLayoutFid, Campos(103, "04"), kOrigemLeitura, kAgora.addSecs(6));
    d.Acrescenta(Bruto(107, "09"), kLayoutFid, Campos(107, "09"), kOrigemCaptura, kAgora.addDays(-1));
    d.MarcaRetido(2, kMotivoChave, kAgora);
    d.MarcaGravado(3, 41, kAgora.date(), "004", "08:14:59", kAgora);
    d.MarcaDescartado(4, "Litragem zero", QString(), kAgora);
    d.MarcaGravado(5, 42, kAgora.date(), "004", "08:14:59", kAgora);
    d.MarcaSumido(5, kAgora);
    d.MarcaRetido(7, "Bico 09 não cadastrado em Bombas", kAgora);
}

struct TResultado {
    int Codigo = -1;
    QStringList Saida;
    QStringList Erro;
};

TResultado Roda(const QStringList& argumentos, const QProcessEnvironment& ambiente = QProcessEnvironment::systemEnvironment())
{
    QProcess ferramenta;
    ferramenta.setProgram(Executavel("linkor-diario"));
    ferramenta.setArguments(argumentos);
    QProcessEnvironment limpo = ambiente;
    limpo.remove("COLUMNS");
    if (!ambiente.contains("LINKOR_POSTO"))
        limpo.remove("LINKOR_POSTO");
    if (ambiente.contains("COLUMNS"))
        limpo.insert("COLUMNS", ambiente.value("COLUMNS"));
    ferramenta.setProcessEnvironment(limpo);
    MorreComOTeste(ferramenta);
    ferramenta.start();
    TResultado r;
    if (!ferramenta.waitForFinished(30000) || ferramenta.exitStatus() != QProcess::NormalExit)
        return r;
    r.Codigo = ferramenta.exitCode();
    auto linhas = [](const QByteArray& texto) {
        QStringList l = QString::fromUtf8(texto).split('\n');
        if (!l.isEmpty() && l.last().isEmpty())
            l.removeLast();
        return l;
    };
    r.Saida = linhas(ferramenta.readAllStandardOutput());
    r.Erro = linhas(ferramenta.readAllStandardError());
    return r;
}

QString Login()
{
    const passwd* p = ::getpwuid(::getuid());
    return QString::fromLocal8Bit(p->pw_name);
}

} // namespace

class TesteFerramentaDiario : public QObject {
    Q_OBJECT

private slots:
    // Reading commands and mistakes on the command line: the exit code a script sees and the
    // lines the technician reads (each expected line appears, in this order).
    void Comandos_data()
    {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<int>("codigo");
        QTest::addColumn<QStringList>("saida");
        QTest::addColumn<QString>("erro");
        const QString cab = "    Nº Lido em     Estado       ID Bico Data     Hora       Litros     Valor Motivo";
        const QString l1 = "     1 11/12 08:15 aguardando  101 04   11/12/26 08:14:59   25,437    150,05";
        const QString l2 = "     2 11/12 08:15 retido      102 04   11/12/26 08:14:59   25,437    150,05 " + kMotivoChave;
        const QString l5 = "     5 11/12 08:15 sumido      105 04   11/12/26 08:14:59   25,437    150,05 gravado, mas não "
                           "encontrado na tabela MvAbast";
        const QString l6 = "     6 11/12 08:15 repetido    103 04   11/12/26 08:14:59   25,437    150,05 repete a entrada 3";
        const QString l7 = "     7 10/12 08:15 retido      107 09   11/12/26 08:14:59   25,437    150,05 Bico 09 não "
                           "cadastrado em Bombas";
        QTest::newRow("lista") << QStringList{"lista"} << 0 << QStringList{cab, l1, l2, l5, l6, l7, "7 entradas"}
                               << "";
        QTest::newRow("lista retidos") << QStringList{"lista", "--retidos"} << 0
                                       << QStringList{cab, l2, l7, "2 entradas"} << "";
        QTest::newRow("lista aguardando") << QStringList{"lista", "--aguardando"} << 0
                                          << QStringList{cab, l1, "1 entrada"} << "";
        QTest::newRow("lista sumidos") << QStringList{"lista", "--sumidos"} << 0 << QStringList{cab, l5, "1 entrada"}
                                       << "";
        QTest::newRow("lista descartados do dia")
            << QStringList{"lista", "--descartados", "--dia", "11/12/2026"} << 0
            << QStringList{cab, "     4 11/12 08:15 descartado  104 04   11/12/26 08:14:59   25,437    150,05 "
                                "Litragem zero",
                           "1 entrada"}
            << "";
        QTest::newRow("lista do dia anterior") << QStringList{"lista", "--dia=10/12/2026"} << 0
                                               << QStringList{cab, l7, "1 entrada"} << "";
        QTest::newRow("mostra") << QStringList{"mostra", "2"} << 0
                                << QStringList{"Entrada:            2",
                                               "Lida em:            11/12/2026 08:15:02",
                                               "Origem:             leitura",
                                               "Layout:             fid (176 bytes)",
                                               "Estado:             retido",
                                               "Motivo:             " + kMotivoChave,
                                               "Tentativas:         1",
                                               "Litros:             25,437",
                                               "Preço unitário:     5,8990",
                                               "Valor total:        150,0500",
                                               "Encerrante final:   123456,789",
                                               "Código FID:         00A1B2C3",
                                               "Registro (176 bytes):",
                                               "0000  30 31 30 32 30 34 46 46 46 46 46 46 46 46 46 46  010204FFFFFFFFFF",
                                               "00A0  46 46 46 46 46 46 46 46 46 46 46 46 46 46 46 46  FFFFFFFFFFFFFFFF"}
                                << "";
        QTest::newRow("mostra gravado") << QStringList{"mostra", "3"} << 0
                                        << QStringList{"Estado:             gravado", "Sequência:          41",
                                                       "Data gravada:       11/12/2026", "Bico gravado:       004"}
                                        << "";
        QTest::newRow("mostra inexistente") << QStringList{"mostra", "99"} << 2 << QStringList{}
                                            << "A entrada 99 não existe no diário %1/Diario.sqlite.";
        QTest::newRow("ajuda") << QStringList{"--ajuda"} << 0 << QStringList{"Uso: linkor-diario [--pasta PASTA] COMANDO [OPÇÕES]"}
                               << "";
        QTest::newRow("sem comando") << QStringList{} << 1 << QStringList{} << "Falta o comando.";
        QTest::newRow("comando desconhecido") << QStringList{"apaga", "2"} << 1 << QStringList{}
                                              << "Comando desconhecido: apaga";
        QTest::newRow("opção desconhecida") << QStringList{"lista", "--todas"} << 1 << QStringList{}
                                            << "Opção desconhecida: --todas";
        QTest::newRow("dois filtros") << QStringList{"lista", "--retidos", "--sumidos"} << 1 << QStringList{}
                                      << "Dê só um de --aguardando, --retidos, --descartados e --sumidos.";
        QTest::newRow("dia inválido") << QStringList{"lista", "--dia", "31/02/2026"} << 1 << QStringList{}
                                      << "'31/02/2026' não é uma data DD/MM/AAAA.";
        QTest::newRow("mostra sem número") << QStringList{"mostra"} << 1 << QStringList{}
                                           << "O comando mostra precisa do número da entrada.";
        QTest::newRow("número inválido") << QStringList{"mostra", "2x"} << 1 << QStringList{}
                                         << "'2x' não é um número de entrada.";
        QTest::newRow("opção de outro comando") << QStringList{"mostra", "2", "--csv"} << 1 << QStringList{}
                                                << "O comando mostra não aceita a opção --csv.";
        QTest::newRow("exporta sem formato") << QStringList{"exporta"} << 1 << QStringList{}
                                             << "Diga o formato: exporta --csv.";
        QTest::newRow("pasta inexistente") << QStringList{"--pasta", "/nao/existe", "lista"} << 4 << QStringList{}
                                           << "A pasta do posto /nao/existe/ não existe.";
    }
    void Comandos()
    {
        QFETCH(QStringList, argumentos);
        QFETCH(int, codigo);
        QFETCH(QStringList, saida);
        QFETCH(QString, erro);
        QTemporaryDir pasta;
        Preenche(pasta.path());
        if (!argumentos.contains("--pasta"))
            argumentos = QStringList{"--pasta", pasta.path()} + argumentos;
        const TResultado r = Roda(argumentos);
        QCOMPARE(r.Codigo, codigo);
        qsizetype de = 0;
        for (const QString& esperada : saida) {
            const qsizetype achada = r.Saida.indexOf(esperada, de);
            if (achada < 0)
                QFAIL(qPrintable("missing line: \"" + esperada + "\" in:\n" + r.Saida.join('\n')));
            de = achada + 1;
        }
        QCOMPARE(r.Erro.value(0), erro.replace("%1", pasta.path()));
        if (codigo == 0)
            QVERIFY(r.Erro.isEmpty());
        else
            QVERIFY(r.Saida.isEmpty());
    }

    // In a terminal the reason is cut to its width; to a file or a pipe it goes whole.
    void ListaCortadaNaLargura()
    {
        QTemporaryDir pasta;
        Preenche(pasta.path());
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("COLUMNS", "100");
        const TResultado r = Roda({"--pasta", pasta.path(), "lista"}, ambiente);
        QCOMPARE(r.Codigo, 0);
        for (const QString& linha : r.Saida)
            QVERIFY2(linha.size() <= 100, qPrintable(linha));
        QVERIFY(r.Saida.value(2).endsWith(" 150,05 violação de chave; Id 1"));
        QCOMPARE(r.Saida.value(2).size(), 100);
    }

    // The default folder is the program's: LINKOR_POSTO names it as it does for the service.
    void PastaDoAmbiente()
    {
        QTemporaryDir pasta;
        Preenche(pasta.path());
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("LINKOR_POSTO", pasta.path());
        const TResultado r = Roda({"lista", "--retidos"}, ambiente);
        QCOMPARE(r.Codigo, 0);
        QCOMPARE(r.Saida.last(), "2 entradas");
    }

    // A journal that is missing or damaged is reported (exit 4) and left as it is: the tool never
    // makes one and never sets one aside beside a running engine.
    void DiarioAusenteOuDanificado()
    {
        QTemporaryDir pasta;
        const QString arquivo = TDiario::ArquivoDoPosto(pasta.path() + '/');
        TResultado r = Roda({"--pasta", pasta.path(), "lista"});
        QCOMPARE(r.Codigo, 4);
        QCOMPARE(r.Erro.value(0), "O diário " + arquivo
                                      + " não existe: nenhum Linkor gravou abastecimentos nesta pasta do posto.");
        QVERIFY(!QFile::exists(arquivo));

        QFile f(arquivo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
        f.close();
        r = Roda({"--pasta", pasta.path(), "lista"});
        QCOMPARE(r.Codigo, 4);
        QCOMPARE(r.Erro.value(0), "Não foi possível ler o diário " + arquivo + ": o arquivo está danificado");
        QCOMPARE(QDir(pasta.path()).entryList(QDir::Files), QStringList{"Diario.sqlite"});
    }

    // reenvia and descarta act only with a Linkor serving the station (here the test holds its
    // lock, as a running Linkor does); without one they say so, exit 3 and change nothing.
    void Mudancas_data()
    {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<bool>("comLinkor");
        QTest::addColumn<int>("codigo");
        QTest::addColumn<QString>("mensagem");
        QTest::addColumn<QStringList>("estados"); // entries 1..7 afterwards
        const QStringList antes{"aguardando", "retido", "gravado", "descartado", "sumido", "repetido", "retido"};
        const QString semLinkor = "Nenhum Linkor está em execução para este posto (pasta %1/): nada foi mudado. "
                                  "Inicie o Linkor (systemctl start linkor-servico, ou a janela) e repita o comando.";
        QTest::newRow("reenvia sem Linkor") << QStringList{"reenvia", "2"} << false << 3 << semLinkor << antes;
        QTest::newRow("reenvia todos sem Linkor") << QStringList{"reenvia", "--todos"} << false << 3 << semLinkor << antes;
        QTest::newRow("descarta sem Linkor") << QStringList{"descarta", "7", "--motivo", "lançado à mão"} << false << 3
                                             << semLinkor << antes;
        QTest::newRow("reenvia um") << QStringList{"reenvia", "2", "--nova-sequencia"} << true << 0
                                    << "1 entrada voltou a aguardar (com nova sequência se a chave ainda colidir): o "
                                       "Linkor em execução as envia ao banco em instantes."
                                    << QStringList{"aguardando", "aguardando", "gravado", "descartado", "sumido",
                                                   "repetido", "retido"};
        QTest::newRow("reenvia todos") << QStringList{"reenvia", "--todos"} << true << 0
                                       << "2 entradas voltaram a aguardar: o Linkor em execução as envia ao banco em "
                                          "instantes."
                                       << QStringList{"aguardando", "aguardando", "gravado", "descartado", "sumido",
                                                      "repetido", "aguardando"};
        QTest::newRow("reenvia sumido") << QStringList{"reenvia", "5"} << true << 0
                                        << "1 entrada voltou a aguardar: o Linkor em execução as envia ao banco em "
                                           "instantes."
                                        << QStringList{"aguardando", "retido", "gravado", "descartado", "aguardando",
                                                       "repetido", "retido"};
        QTest::newRow("reenvia gravado") << QStringList{"reenvia", "3"} << true << 2
                                         << "A entrada 3 está gravado: só uma entrada retida ou sumida pode ser "
                                            "reenviada."
                                         << antes;
        QTest::newRow("reenvia inexistente") << QStringList{"reenvia", "70"} << true << 2
                                             << "A entrada 70 não existe no diário %1/Diario.sqlite." << antes;
        QTest::newRow("reenvia sem número") << QStringList{"reenvia"} << true << 1
                                            << "Dê o número de uma entrada ou --todos." << antes;
        QTest::newRow("reenvia número e todos") << QStringList{"reenvia", "2", "--todos"} << true << 1
                                                << "Dê o número de uma entrada ou --todos." << antes;
        QTest::newRow("descarta") << QStringList{"descarta", "7", "--motivo", "lançado à mão no sistema"} << true << 0
                                  << "Entrada 7 descartada por " + Login() + ": lançado à mão no sistema"
                                  << QStringList{"aguardando", "retido", "gravado", "descartado", "sumido",
                                                 "repetido", "descartado"};
        QTest::newRow("descarta gravado") << QStringList{"descarta", "3", "--motivo", "x"} << true << 2
                                          << "A entrada 3 está gravado: só uma entrada aguardando, retida ou sumida "
                                             "pode ser descartada."
                                          << antes;
        QTest::newRow("descarta sem motivo") << QStringList{"descarta", "7"} << true << 1
                                             << "Diga por que a entrada é descartada: --motivo TEXTO." << antes;
        QTest::newRow("descarta motivo vazio") << QStringList{"descarta", "7", "--motivo", " "} << false << 1
                                               << "Diga por que a entrada é descartada: --motivo TEXTO." << antes;
    }
    void Mudancas()
    {
        QFETCH(QStringList, argumentos);
        QFETCH(bool, comLinkor);
        QFETCH(int, codigo);
        QFETCH(QString, mensagem);
        QFETCH(QStringList, estados);
        QTemporaryDir pasta;
        Preenche(pasta.path());
        TTravaInstancia linkor;
        if (comLinkor)
            QVERIFY(linkor.AdquirePosto(pasta.path()));
        const TResultado r = Roda(QStringList{"--pasta", pasta.path()} + argumentos);
        QCOMPARE(r.Codigo, codigo);
        QCOMPARE((codigo == 0 ? r.Saida : r.Erro).value(0), mensagem.replace("%1", pasta.path()));
        // Without a Linkor the tool let go of the station at once: a Linkor starting now gets it.
        if (!comLinkor)
            QVERIFY(linkor.AdquirePosto(pasta.path()));

        TDiario d(TDiario::ArquivoDoPosto(pasta.path() + '/'));
        QStringList depois;
        for (qint64 n = 1; n <= 7; ++n) {
            const TEntradaDiario e = *d.Entrada(n);
            depois.append(e.Sumido ? QStringLiteral("sumido") : NomeEstado(e.Estado));
        }
        QCOMPARE(depois, estados);
        if (codigo != 0)
            return;
        // Who asked is recorded, and what they asked for.
        const TEntradaDiario mudada = *d.Entrada(argumentos.contains("--todos") ? 7 : argumentos[1].toLongLong());
        QCOMPARE(mudada.Responsavel, Login());
        QVERIFY(qAbs(mudada.MotivoEm.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(mudada.NovaSequencia, argumentos.contains("--nova-sequencia"));
        if (argumentos[0] == "descarta")
            QCOMPARE(mudada.Motivo, "lançado à mão no sistema");
    }

    // The held entries for manual entry: `;`-separated, decimal comma, a reason with `;` quoted.
    void ExportaCsv()
    {
        QTemporaryDir pasta;
        Preenche(pasta.path());
        const TResultado r = Roda({"--pasta", pasta.path(), "exporta", "--csv"});
        QCOMPARE(r.Codigo, 0);
        QVERIFY(r.Erro.isEmpty());
        QCOMPARE(r.Saida,
                 QStringList({"Entrada;Lido em;ID;Bico;Data;Hora;Litros;Preço unitário;Valor total;Encerrante final;"
                              "Código FID;Motivo\r",
                              "2;11/12/2026 08:15:02;102;04;11/12/26;08:14:59;25,437;5,8990;150,05;123456,789;00A1B2C3;"
                              "\"" + kMotivoChave + "\"\r",
                              "7;10/12/2026 08:15:00;107;09;11/12/26;08:14:59;25,437;5,8990;150,05;123456,789;00A1B2C3;"
                              "Bico 09 não cadastrado em Bombas\r"}));
    }
};

QTEST_GUILESS_MAIN(TesteFerramentaDiario)
#include "TesteFerramentaDiario.moc"
