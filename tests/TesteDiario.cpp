#include "DiarioTeste.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TEstadoEntrada)

namespace {

using namespace DiarioTeste;

TEntradaDiario Acrescenta(TDiario& d, int id, const QDateTime& quando = kAgora)
{
    return d.Acrescenta(Bruto(id), kLayoutFid, Campos(id), kOrigemLeitura, quando);
}

QList<qint64> Numeros(const QList<TEntradaDiario>& entradas)
{
    QList<qint64> n;
    for (const TEntradaDiario& e : entradas)
        n.append(e.Numero);
    return n;
}

void Grava(const QString& caminho, const QByteArray& conteudo)
{
    QFile f(caminho);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(conteudo), conteudo.size());
}

QByteArray Le(const QString& caminho)
{
    QFile f(caminho);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TesteDiario : public QObject {
    Q_OBJECT

private slots:
    // Every field comes back as written, numbers follow the order read, and an entry is in the
    // file when Acrescenta returns: a process killed right after (no close) leaves all of them.
    void AcrescentaDuravelEOrdenado()
    {
        QTemporaryDir pasta;
        const QString caminho = TDiario::ArquivoDoPosto(pasta.path() + '/');
        QCOMPARE(caminho, pasta.filePath("Diario.sqlite"));
        const pid_t filho = ::fork();
        QVERIFY(filho >= 0);
        if (filho == 0) {
            TDiario d(caminho);
            for (int id = 1; id <= 3; ++id)
                Acrescenta(d, id, kAgora.addSecs(id));
            ::raise(SIGKILL);
            ::_exit(0);
        }
        int estado = 0;
        QCOMPARE(::waitpid(filho, &estado, 0), filho);
        QVERIFY(WIFSIGNALED(estado));

        TDiario d(caminho);
        QVERIFY(d.Afastado().isEmpty());
        const QList<TEntradaDiario> lidas = d.Aguardando(10);
        QCOMPARE(lidas.size(), 3);
        QCOMPARE(Numeros(lidas), QList<qint64>({1, 2, 3}));
        const TEntradaDiario& e = lidas[1];
        QCOMPARE(e.LidoEm, kAgora.addSecs(2));
        QCOMPARE(e.Layout, kLayoutFid);
        QCOMPARE(e.Origem, kOrigemLeitura);
        QCOMPARE(e.Bruto, Bruto(2));
        QCOMPARE(e.Campos.Id, 2);
        QCOMPARE(e.Campos.Bico, "04");
        QCOMPARE(e.Campos.Data, "11/12/26");
        QCOMPARE(e.Campos.Hora, "08:14:59");
        QCOMPARE(e.Campos.Litragem, 25.437);
        QCOMPARE(e.Campos.ValorTotal, qint64(1500500));
        QCOMPARE(e.Campos.PrecoUnit, qint64(58990));
        QCOMPARE(e.Campos.EncerranteFinal, 123456.789);
        QCOMPARE(e.Campos.CodFid, "00A1B2C3");
        QCOMPARE(e.Estado, TEstadoEntrada::Aguardando);
        QCOMPARE(d.Aguardando(2).size(), 2);
        // A number is never reused, even after the last entry is pruned.
        d.MarcaGravado(3, 7, QDate(2026, 12, 11), "004", "08:15:03", kAgora);
        QCOMPARE(d.Poda(kAgora.addDays(1)), 1);
        QCOMPARE(Acrescenta(d, 4).Numero, qint64(4));
    }

    // The same bytes again (the library delivering after a crash) make a repeated entry that is
    // never forwarded; other bytes, or the same bytes past the keeping time, are a new fueling.
    void Repetido_data()
    {
        QTest::addColumn<int>("idSegundo");
        QTest::addColumn<int>("diasDepois");
        QTest::addColumn<TEstadoEntrada>("estadoPrimeiro");
        QTest::addColumn<TEstadoEntrada>("esperado");
        QTest::newRow("mesmos bytes") << 1 << 0 << TEstadoEntrada::Aguardando << TEstadoEntrada::Repetido;
        QTest::newRow("mesmos bytes de um gravado") << 1 << 3 << TEstadoEntrada::Gravado << TEstadoEntrada::Repetido;
        QTest::newRow("mesmos bytes de um retido") << 1 << 0 << TEstadoEntrada::Retido << TEstadoEntrada::Repetido;
        QTest::newRow("outros bytes") << 2 << 0 << TEstadoEntrada::Aguardando << TEstadoEntrada::Aguardando;
        QTest::newRow("depois do prazo") << 1 << TDiario::kDiasGuardados + 1 << TEstadoEntrada::Gravado
                                         << TEstadoEntrada::Aguardando;
    }
    void Repetido()
    {
        QFETCH(int, idSegundo);
        QFETCH(int, diasDepois);
        QFETCH(TEstadoEntrada, estadoPrimeiro);
        QFETCH(TEstadoEntrada, esperado);
        QTemporaryDir pasta;
        TDiario d(pasta.filePath("Diario.sqlite"));
        Acrescenta(d, 9); // another fueling between them
        const TEntradaDiario primeiro = Acrescenta(d, 1);
        if (estadoPrimeiro == TEstadoEntrada::Gravado)
            d.MarcaGravado(primeiro.Numero, 1, QDate(2026, 12, 11), "004", "08:14:59", kAgora);
        else if (estadoPrimeiro == TEstadoEntrada::Retido)
            d.MarcaRetido(primeiro.Numero, "recusado", kAgora);
        const TEntradaDiario segundo = Acrescenta(d, idSegundo, kAgora.addDays(diasDepois));
        QCOMPARE(segundo.Estado, esperado);
        QCOMPARE(segundo.RepeteDe, esperado == TEstadoEntrada::Repetido ? primeiro.Numero : 0);
        const std::optional<TEntradaDiario> lido = d.Entrada(segundo.Numero);
        QVERIFY(lido);
        QCOMPARE(lido->Estado, esperado);
        QCOMPARE(lido->RepeteDe, segundo.RepeteDe);
        QCOMPARE(Numeros(d.Aguardando(10)).contains(segundo.Numero), esperado == TEstadoEntrada::Aguardando);
        // A third delivery points at the first as well, not at the repeated one.
        if (esperado == TEstadoEntrada::Repetido)
            QCOMPARE(Acrescenta(d, 1, kAgora.addDays(diasDepois)).RepeteDe, primeiro.Numero);
    }

    // Each change is committed at once, seen in counts and listings, and a held entry's log line
    // is asked for only when it is newly held or its reason changed.
    void EstadosEContagens()
    {
        QTemporaryDir pasta;
        TDiario d(pasta.filePath("Diario.sqlite"));
        for (int id = 1; id <= 6; ++id)
            Acrescenta(d, id, kAgora.addDays(id <= 3 ? -1 : 0).addSecs(id));
        QCOMPARE(d.ContaAguardando(), qint64(6));
        QCOMPARE(d.ContaRetidos(), qint64(0));

        d.MarcaGravado(1, 41, QDate(2026, 12, 10), "004", "08:15:01", kAgora);
        QVERIFY(d.MarcaRetido(2, "Bico 04 não cadastrado", kAgora));
        QVERIFY(!d.MarcaRetido(2, "Bico 04 não cadastrado", kAgora.addSecs(300)));
        QVERIFY(d.MarcaRetido(2, "violação de chave", kAgora.addSecs(600)));
        d.MarcaDescartado(3, "Litragem zero", QString(), kAgora);
        d.RegistraTentativa(4, "Conexão perdida", kAgora);
        d.RegistraTentativa(4, "Conexão perdida", kAgora.addSecs(5));
        d.MarcaGravado(5, 42, QDate(2026, 12, 11), "001", "08:15:05", kAgora);
        d.MarcaSumido(5, kAgora.addSecs(60));

        QCOMPARE(d.ContaAguardando(), qint64(2));
        QCOMPARE(d.ContaRetidos(), qint64(1));
        QCOMPARE(Numeros(d.Aguardando(10)), QList<qint64>({4, 6}));
        QCOMPARE(Numeros(d.Retidos(10)), QList<qint64>({2}));
        QCOMPARE(Numeros(d.Lista(TFiltroDiario::Todos)), QList<qint64>({1, 2, 3, 4, 5, 6}));
        QCOMPARE(Numeros(d.Lista(TFiltroDiario::Aguardando)), QList<qint64>({4, 6}));
        QCOMPARE(Numeros(d.Lista(TFiltroDiario::Retidos)), QList<qint64>({2}));
        QCOMPARE(Numeros(d.Lista(TFiltroDiario::Descartados)), QList<qint64>({3}));
        QCOMPARE(Numeros(d.Lista(TFiltroDiario::Sumidos)), QList<qint64>({5}));
        QCOMPARE(Numeros(d.Lista(TFiltroDiario::Todos, kAgora.date().addDays(-1))), QList<qint64>({1, 2, 3}));
        QCOMPARE(Numeros(d.Lista(TFiltroDiario::Retidos, kAgora.date())), QList<qint64>());
        QCOMPARE(Numeros(d.GravadosDesde(kAgora.addDays(-7))), QList<qint64>({1}));
        QCOMPARE(Numeros(d.GravadosDesde(kAgora)), QList<qint64>());

        const TEntradaDiario gravado = *d.Entrada(1);
        QCOMPARE(gravado.Estado, TEstadoEntrada::Gravado);
        QCOMPARE(gravado.Sequencia, qint64(41));
        QCOMPARE(gravado.DataGravada, QDate(2026, 12, 10));
        QCOMPARE(gravado.CodBico, "004");
        QCOMPARE(gravado.HoraGravada, "08:15:01");
        QCOMPARE(gravado.GravadoEm, kAgora);
        const TEntradaDiario retido = *d.Entrada(2);
        QCOMPARE(retido.Motivo, "violação de chave");
        QCOMPARE(retido.MotivoEm, kAgora.addSecs(600));
        QCOMPARE(retido.Tentativas, 3);
        QCOMPARE(d.Entrada(3)->Motivo, "Litragem zero");
        QCOMPARE(d.Entrada(4)->Tentativas, 2);
        QCOMPARE(d.Entrada(4)->Estado, TEstadoEntrada::Aguardando);
        QVERIFY(d.Entrada(5)->Sumido);
        QVERIFY(!d.Entrada(99));

        // A technician's discard: only what waits, is held or went missing, recorded with who.
        QVERIFY(!d.Descarta(1, "engano", "joao", kAgora));
        QVERIFY(!d.Descarta(3, "engano", "joao", kAgora));
        QVERIFY(!d.Descarta(99, "engano", "joao", kAgora));
        QVERIFY(d.Descarta(2, "lançado à mão no sistema", "joao", kAgora.addSecs(900)));
        const TEntradaDiario descartado = *d.Entrada(2);
        QCOMPARE(descartado.Estado, TEstadoEntrada::Descartado);
        QCOMPARE(descartado.Motivo, "lançado à mão no sistema");
        QCOMPARE(descartado.Responsavel, "joao");
        QCOMPARE(descartado.MotivoEm, kAgora.addSecs(900));
        QVERIFY(d.Descarta(5, "apagado de propósito", "joao", kAgora));
        QCOMPARE(d.Lista(TFiltroDiario::Sumidos).size(), 0);
    }

    // Only held (or, one at a time, missing) entries go back to waiting, with who asked and the
    // technician's choice of a new sequence number.
    void Reenvia_data()
    {
        QTest::addColumn<qint64>("numero"); // 0: all
        QTest::addColumn<bool>("novaSequencia");
        QTest::addColumn<int>("esperado");
        QTest::addColumn<QList<qint64>>("aguardando");
        // 1 waiting, 2 and 3 held, 4 stored, 5 stored and missing, 6 discarded, 7 repeated.
        QTest::newRow("todos") << qint64(0) << false << 2 << QList<qint64>({1, 2, 3});
        QTest::newRow("todos nova sequência") << qint64(0) << true << 2 << QList<qint64>({1, 2, 3});
        QTest::newRow("um retido") << qint64(3) << true << 1 << QList<qint64>({1, 3});
        QTest::newRow("um sumido") << qint64(5) << false << 1 << QList<qint64>({1, 5});
        QTest::newRow("aguardando") << qint64(1) << false << 0 << QList<qint64>({1});
        QTest::newRow("gravado") << qint64(4) << false << 0 << QList<qint64>({1});
        QTest::newRow("descartado") << qint64(6) << false << 0 << QList<qint64>({1});
        QTest::newRow("repetido") << qint64(7) << false << 0 << QList<qint64>({1});
        QTest::newRow("inexistente") << qint64(70) << false << 0 << QList<qint64>({1});
    }
    void Reenvia()
    {
        QFETCH(qint64, numero);
        QFETCH(bool, novaSequencia);
        QFETCH(int, esperado);
        QFETCH(QList<qint64>, aguardando);
        QTemporaryDir pasta;
        TDiario d(pasta.filePath("Diario.sqlite"));
        for (int id = 1; id <= 6; ++id)
            Acrescenta(d, id);
        Acrescenta(d, 6);
        d.MarcaRetido(2, "Bico 04 não cadastrado", kAgora);
        d.MarcaRetido(3, "violação de chave", kAgora);
        d.MarcaGravado(4, 10, QDate(2026, 12, 11), "004", "08:15:00", kAgora);
        d.MarcaGravado(5, 11, QDate(2026, 12, 11), "004", "08:15:01", kAgora);
        d.MarcaSumido(5, kAgora);
        d.MarcaDescartado(6, "Litragem zero", QString(), kAgora);

        const std::optional<qint64> qual = numero ? std::optional<qint64>(numero) : std::nullopt;
        QCOMPARE(d.Reenvia(qual, novaSequencia, "maria", kAgora.addSecs(60)), esperado);
        QCOMPARE(Numeros(d.Aguardando(10)), aguardando);
        for (const TEntradaDiario& e : d.Aguardando(10)) {
            if (e.Numero == 1) {
                QVERIFY(!e.NovaSequencia);
                QVERIFY(e.Responsavel.isEmpty());
                continue;
            }
            QCOMPARE(e.NovaSequencia, novaSequencia);
            QCOMPARE(e.Responsavel, "maria");
            QVERIFY(!e.Sumido);
            QCOMPARE(e.Sequencia, qint64(0)); // a missing entry's old key says nothing now
            QVERIFY(!e.DataGravada.isValid());
        }
        // What did not move kept its state.
        QCOMPARE(d.Entrada(4)->Estado, TEstadoEntrada::Gravado);
        QCOMPARE(d.Entrada(6)->Estado, TEstadoEntrada::Descartado);
        QCOMPARE(d.Entrada(7)->Estado, TEstadoEntrada::Repetido);
        if (numero == 0)
            QVERIFY(d.Entrada(5)->Sumido); // missing ones go back only one at a time
    }

    // Pruning takes only stored (not missing) and repeated entries past the date: nothing that
    // is not in MvAbast is ever deleted.
    void PodaGuardaONaoGravado()
    {
        QTemporaryDir pasta;
        TDiario d(pasta.filePath("Diario.sqlite"));
        const QDateTime antigo = kAgora.addDays(-TDiario::kDiasGuardados - 1);
        for (int id = 1; id <= 6; ++id)
            Acrescenta(d, id, antigo);
        Acrescenta(d, 1, antigo); // 7: repeated
        Acrescenta(d, 8);         // 8: recent, stored
        d.MarcaRetido(2, "recusado", kAgora);
        d.MarcaDescartado(3, "Litragem zero", QString(), kAgora);
        for (qint64 n : {1, 5, 8})
            d.MarcaGravado(n, n, antigo.date(), "004", "08:15:00", kAgora);
        d.MarcaSumido(5, kAgora);
        QCOMPARE(d.Poda(kAgora.addDays(-TDiario::kDiasGuardados)), 2);
        QCOMPARE(Numeros(d.Lista(TFiltroDiario::Todos)), QList<qint64>({2, 3, 4, 5, 6, 8}));
    }

    // A file that is not a readable journal is set aside whole (with its -wal and -shm) under a
    // dated name, and a new journal is begun and works; the tool's way of opening only says so.
    void DanificadoAfastado_data()
    {
        QTest::addColumn<QString>("tipo");
        QTest::newRow("lixo") << "lixo";
        QTest::newRow("cortado") << "cortado";
        QTest::newRow("outro banco") << "outro banco";
        QTest::newRow("páginas sobrescritas") << "sobrescrito";
    }
    void DanificadoAfastado()
    {
        QFETCH(QString, tipo);
        QTemporaryDir pasta;
        const QString caminho = pasta.filePath("Diario.sqlite");
        if (tipo == "lixo") {
            Grava(caminho, QByteArray(20000, '\x5a'));
            Grava(caminho + "-wal", "wal antigo");
        } else if (tipo == "outro banco") {
            // Another program's database where the journal should be.
            sqlite3* banco = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(caminho).constData(), &banco), SQLITE_OK);
            QCOMPARE(sqlite3_exec(banco, "CREATE TABLE clientes (nome TEXT); INSERT INTO clientes VALUES ('x')",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(banco);
        } else {
            {
                TDiario d(caminho);
                for (int id = 1; id <= 300; ++id)
                    Acrescenta(d, id);
            }
            QByteArray conteudo = Le(caminho);
            QVERIFY(conteudo.size() > 40000);
            if (tipo == "cortado")
                conteudo.truncate(conteudo.size() / 2);
            else
                conteudo.replace(8192, 8192, QByteArray(8192, '\x33'));
            Grava(caminho, conteudo);
        }
        const QByteArray original = Le(caminho);

        try {
            TDiario so(caminho, TAberturaDiario::SoAbre);
            QFAIL("a damaged journal opened");
        } catch (const EErroDiario& e) {
            QCOMPARE(e.Mensagem(), "Não foi possível ler o diário " + caminho + ": o arquivo está danificado");
        }
        QCOMPARE(Le(caminho), original);

        TDiario d(caminho);
        QVERIFY(d.Afastado().startsWith(caminho + ".danificado-" + QDate::currentDate().toString("yyyyMMdd") + '-'));
        QCOMPARE(Le(d.Afastado()), original);
        if (tipo == "lixo")
            QVERIFY(QFile::exists(d.Afastado() + "-wal"));
        QCOMPARE(d.Lista(TFiltroDiario::Todos).size(), 0);
        QCOMPARE(Acrescenta(d, 1).Numero, qint64(1));
        QCOMPARE(d.ContaAguardando(), qint64(1));
        // Opened again, the new journal is kept.
        TDiario outra(caminho);
        QVERIFY(outra.Afastado().isEmpty());
        QCOMPARE(outra.ContaAguardando(), qint64(1));
    }
    // A journal that cannot be written says which file and why, in Portuguese, and keeps no
    // half-written entry: what was committed stays, and it works again once the cause is gone.
    void FalhaDeGravacao_data()
    {
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QString>("esperado"); // %1 the file, %2 its folder
        QTest::newRow("disco cheio") << "cheio" << "Não foi possível gravar o diário %1: disco cheio";
        QTest::newRow("disco somente leitura")
            << "disco" << "Não foi possível abrir o diário %1: o disco está montado somente para leitura";
        QTest::newRow("arquivo somente leitura")
            << "arquivo" << "Não foi possível abrir o diário %1: sem permissão de gravação no arquivo";
        QTest::newRow("pasta somente leitura")
            << "pasta" << "Não foi possível abrir o diário %1: sem permissão de gravação na pasta %2";
    }
    void FalhaDeGravacao()
    {
        QFETCH(QString, tipo);
        QFETCH(QString, esperado);
        QTemporaryDir temporaria;
        QVERIFY(temporaria.isValid());
        const QString pasta = temporaria.filePath("posto");
        QVERIFY(QDir().mkdir(pasta));
        const QByteArray ponto = QFile::encodeName(pasta);
        const bool disco = tipo == "cheio" || tipo == "disco";
        if (disco && ::mount("tmpfs", ponto.constData(), "tmpfs", 0, "size=256k") != 0)
            QFAIL(qPrintable(QString("a small tmpfs could not be mounted on %1 (%2): this test needs root")
                                 .arg(pasta, QString::fromLocal8Bit(std::strerror(errno)))));
        auto desmonta = qScopeGuard([&] {
            if (disco)
                ::umount2(ponto.constData(), MNT_DETACH);
        });
        const QString caminho = TDiario::ArquivoDoPosto(pasta + '/');
        esperado.replace("%1", caminho).replace("%2", pasta);

        int gravadas = 0;
        QString mensagem;
        if (tipo == "cheio") {
            TDiario d(caminho);
            for (; gravadas < 3; ++gravadas)
                Acrescenta(d, gravadas + 1);
            QFile enchimento(pasta + "/enchimento");
            QVERIFY(enchimento.open(QIODevice::WriteOnly));
            while (enchimento.write(QByteArray(4096, 'x')) == 4096 && enchimento.flush()) {
            }
            enchimento.close();
            try {
                // A full disk may still take a few entries in the pages it has.
                for (; gravadas < 5000; ++gravadas)
                    Acrescenta(d, gravadas + 1);
                QFAIL("the journal kept taking entries");
            } catch (const EErroDiario& e) {
                mensagem = e.Mensagem();
            }
            QCOMPARE(mensagem, esperado);
            QCOMPARE(d.ContaAguardando(), qint64(gravadas));
            // The cause gone, the same journal takes entries again.
            QVERIFY(QFile::remove(pasta + "/enchimento"));
            Acrescenta(d, 90000);
            ++gravadas;
        } else {
            {
                TDiario d(caminho);
                for (; gravadas < 3; ++gravadas)
                    Acrescenta(d, gravadas + 1);
            }
            QVERIFY(!QFile::exists(caminho + "-wal"));
            if (tipo == "disco") {
                QCOMPARE(::mount("tmpfs", ponto.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=256k"), 0);
                try {
                    TDiario d(caminho);
                    mensagem = "opened";
                } catch (const EErroDiario& e) {
                    mensagem = e.Mensagem();
                }
                QCOMPARE(mensagem, esperado);
                QCOMPARE(::mount("tmpfs", ponto.constData(), "tmpfs", MS_REMOUNT, "size=256k"), 0);
                TDiario d(caminho);
                QCOMPARE(d.ContaAguardando(), qint64(gravadas));
                return;
            }
            // Root writes anywhere: the refusal is tried as an ordinary account.
            const uid_t outro = ::geteuid() == 0 ? 65534 : ::geteuid();
            QCOMPARE(::chmod(QFile::encodeName(temporaria.path()).constData(), 0711), 0);
            QCOMPARE(::chown(ponto.constData(), outro, outro), 0);
            QCOMPARE(::chown(QFile::encodeName(caminho).constData(), outro, outro), 0);
            const QString alvo = tipo == "arquivo" ? caminho : pasta;
            QCOMPARE(::chmod(QFile::encodeName(alvo).constData(), tipo == "arquivo" ? 0444 : 0555), 0);
            const uid_t antes = ::geteuid();
            QCOMPARE(::seteuid(outro), 0);
            try {
                TDiario d(caminho);
                mensagem = "opened";
            } catch (const EErroDiario& e) {
                mensagem = e.Mensagem();
            }
            QCOMPARE(::seteuid(antes), 0);
            QCOMPARE(mensagem, esperado);
            QCOMPARE(::chmod(QFile::encodeName(alvo).constData(), tipo == "arquivo" ? 0644 : 0755), 0);
        }
        // Nothing half-written: the file opens as it is, with exactly the entries committed.
        TDiario d(caminho);
        QVERIFY(d.Afastado().isEmpty());
        QCOMPARE(d.ContaAguardando(), qint64(gravadas));
        QCOMPARE(d.Lista(TFiltroDiario::Todos).size(), gravadas);
    }

    // A link planted where the journal should be is not followed, and its target is untouched.
    void LinkNoLugarDoArquivo()
    {
        QTemporaryDir pasta;
        QTemporaryDir fora;
        const QString alvo = fora.filePath("alvo");
        Grava(alvo, "intacto");
        const QString caminho = pasta.filePath("Diario.sqlite");
        QVERIFY(QFile::link(alvo, caminho));
        try {
            TDiario d(caminho);
            QFAIL("a link was followed");
        } catch (const EErroDiario& e) {
            QCOMPARE(e.Mensagem(), "Não foi possível abrir o diário " + caminho
                                       + ": no lugar do arquivo há um link, e o Linkor não os segue na pasta do "
                                         "posto: apague-o");
        }
        QCOMPARE(Le(alvo), QByteArray("intacto"));
        QVERIFY(QFileInfo(caminho).isSymLink());
    }

    // The tool beside the engine: each sees the other's commits at once, on the same file.
    void DoisNoMesmoArquivo()
    {
        QTemporaryDir pasta;
        const QString caminho = pasta.filePath("Diario.sqlite");
        TDiario motor(caminho);
        TDiario ferramenta(caminho, TAberturaDiario::SoAbre);
        Acrescenta(motor, 1);
        Acrescenta(motor, 2);
        motor.MarcaRetido(2, "Bico 04 não cadastrado", kAgora);
        QCOMPARE(ferramenta.ContaAguardando(), qint64(1));
        QCOMPARE(ferramenta.ContaRetidos(), qint64(1));
        QCOMPARE(ferramenta.Reenvia(std::nullopt, false, "maria", kAgora), 1);
        QCOMPARE(Numeros(motor.Aguardando(10)), QList<qint64>({1, 2}));
        // The same bytes appended through the other handle are still seen as repeated.
        QCOMPARE(Acrescenta(ferramenta, 1).Estado, TEstadoEntrada::Repetido);
        QCOMPARE(motor.Lista(TFiltroDiario::Todos).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TesteDiario)
#include "TesteDiario.moc"
