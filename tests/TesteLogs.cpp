#include "Erro.h"
#include "LogArquivos.h"
#include "Regional.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// A close() that does its work and then fails, as a network file system reports a write it could
// not complete: armed for one file, it runs what another account does to the folder in that
// moment. Every other close is the system's.
QString gFechamentoQueFalha;
std::function<void()> gNoFechamento;
} // namespace

extern "C" int close(int descritor)
{
    QString caminho;
    if (!gFechamentoQueFalha.isEmpty()) {
        char alvo[4096];
        const ssize_t n = ::readlink(("/proc/self/fd/" + QByteArray::number(descritor)).constData(), alvo, sizeof alvo);
        if (n > 0)
            caminho = QFile::decodeName(QByteArray(alvo, static_cast<int>(n)));
    }
    const long feito = ::syscall(SYS_close, descritor);
    if (feito != 0 || caminho.isEmpty() || caminho != gFechamentoQueFalha)
        return static_cast<int>(feito);
    gFechamentoQueFalha.clear();
    if (gNoFechamento)
        std::exchange(gNoFechamento, {})();
    errno = EIO;
    return -1;
}

class TesteLogs : public QObject {
    Q_OBJECT
    const TConfiguracaoRegional PtBr = TConfiguracaoRegional::PtBr();

private slots:
    void LinhaDeAbastecimento_data()
    {
        QTest::addColumn<double>("litros");
        QTest::addColumn<double>("total");
        QTest::addColumn<QString>("sequencia");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("exemplo") << 25.437 << 150.05 << "2" << "169"
                                 << " 09/12/2025   14:03:27   00012      25,437       5,899     150,05   002  0169   041";
        QTest::newRow("milhares") << 1025.437 << 6049.05 << "2" << "169"
                                  << " 09/12/2025   14:03:27   00012   1.025,437       5,899   6.049,05   002  0169   041";
        QTest::newRow("total longo empurra") << 25.437 << 123456.78 << "2" << "169"
                                             << " 09/12/2025   14:03:27   00012      25,437       5,899  123.456,78   002  0169   041";
        QTest::newRow("strzero corta") << 25.437 << 150.05 << "1234" << "12"
                                       << " 09/12/2025   14:03:27   00012      25,437       5,899     150,05   234  0012   041";
    }
    void LinhaDeAbastecimento()
    {
        QFETCH(double, litros);
        QFETCH(double, total);
        QFETCH(QString, sequencia);
        QFETCH(QString, id);
        QFETCH(QString, esperado);
        const QString linha = MontaLinhaLog("09/12/2025", "14:03:27", "00012", litros, total, 5.899, sequencia, id, "041", PtBr);
        QCOMPARE(linha, esperado);
    }

    void CabecalhoTemALarguraDaLinha()
    {
        const QStringList cabecalho = MontaCabecalhoLog(QDate(2025, 12, 9), PtBr);
        QCOMPARE(cabecalho.size(), 4);
        QCOMPARE(cabecalho[0], QString("             ARQUIVO DE LOG DO CONCENTRADOR COMPANYTEC  -  09/12/2025"));
        for (int i = 1; i < 4; ++i)
            QCOMPARE(cabecalho[i].size(), 83);
        const QString linha = MontaLinhaLog("09/12/2025", "14:03:27", "00012", 25.437, 150.05, 5.899, "2", "169", "041", PtBr);
        QCOMPARE(linha.size(), 83);
        // Right-aligned columns end where their titles end.
        for (const QString titulo : {"LITRAGEM", "TOTAL", "SEQ", "CANAL"}) {
            const qsizetype fim = cabecalho[2].indexOf(titulo) + titulo.size();
            QVERIFY2(linha.at(fim - 1) != ' ' && (fim == linha.size() || linha.at(fim) == ' '), qPrintable(titulo));
        }
    }

    void NomesDeArquivoELinhaDeErro()
    {
        QCOMPARE(NomeLogDoDia(QDate(2025, 12, 9), PtBr), QString("LogLinkor09122025"));
        QCOMPARE(MontaLinhaErro(QDateTime(QDate(2025, 12, 9), QTime(14, 3, 28)), "falhou\rlinha 2", PtBr),
                 QString("09/12/25 14:03:28 falhou\rlinha 2"));
        TConfiguracaoRegional traco = TConfiguracaoRegional::PtBr();
        traco.SeparadorData = '-';
        QCOMPARE(NomeLogDoDia(QDate(2025, 12, 9), traco), QString("LogLinkor09-12-2025"));
    }

    void ArquivoEmUtf8ComCrLf()
    {
        QTemporaryDir pasta;
        const QString caminho = pasta.filePath("LogErroConcentrador");
        TLogArquivo log;
        log.Acrescenta(caminho, "primeira ção");
        log.Acrescenta(caminho, "segunda");
        QFile f(caminho);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QString("primeira ção\r\nsegunda\r\n").toUtf8());
        QCOMPARE(LeLinhasLog(caminho), QStringList({"primeira ção", "segunda"}));
        QVERIFY(LeLinhasLog(pasta.filePath("nao-existe")).isEmpty());
        QVERIFY_THROWS_EXCEPTION(EErro, log.Acrescenta(pasta.filePath("sem/pasta/arquivo"), "x"));
        // Other users may neither read nor write the logs.
        QCOMPARE(f.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther), QFileDevice::Permissions());
    }

    // Something planted where a log goes (a link to another file, a link to nothing yet, a pipe)
    // is refused with the reason, and what it points at is left as it was; the line is kept.
    void ArquivoPlantadoRecusado_data()
    {
        QTest::addColumn<QString>("tipo");
        QTest::newRow("link para arquivo") << "link";
        QTest::newRow("link pendente") << "pendente";
        QTest::newRow("fifo") << "fifo";
    }
    void ArquivoPlantadoRecusado()
    {
        QFETCH(QString, tipo);
        QTemporaryDir pasta;
        QTemporaryDir fora;
        const QString alvo = fora.filePath("alvo");
        QFile f(alvo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("intacto");
        f.close();
        const QString caminho = pasta.filePath("LogLinkor09122025");
        if (tipo == "link")
            QVERIFY(QFile::link(alvo, caminho));
        else if (tipo == "pendente")
            QVERIFY(QFile::link(fora.filePath("novo"), caminho));
        else
            QCOMPARE(::mkfifo(QFile::encodeName(caminho).constData(), 0660), 0);
        TLogArquivo log;
        try {
            log.Acrescenta(caminho, "linha");
            QFAIL("a planted file was written");
        } catch (const EErro& e) {
            QCOMPARE(e.Mensagem(), "Não foi possível gravar o arquivo " + caminho
                                       + ": no lugar do arquivo há um link ou algo que não é um arquivo comum, e o "
                                         "Linkor não os segue na pasta do posto: apague-o");
        }
        QCOMPARE(log.Retidas(), qsizetype(1));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("intacto"));
        QVERIFY(!QFile::exists(fora.filePath("novo")));
        // Once removed, the kept line is written to a file of our own.
        QVERIFY(QFile::remove(caminho));
        QVERIFY(log.Descarrega());
        QCOMPARE(LeLinhasLog(caminho), QStringList("linha"));
    }

    // A close that fails after the line went out: the line is cut back so that the retry writes it
    // once, but only from the file written to. One swapped in that moment (by a member of the
    // station's group, or by the log's rotation) is never cut or stretched, link or not.
    void FechamentoQueFalha_data()
    {
        QTest::addColumn<QString>("troca");
        QTest::newRow("nada trocado") << "";
        QTest::newRow("link para outro arquivo") << "link";
        QTest::newRow("arquivo novo no lugar") << "novo";
    }
    void FechamentoQueFalha()
    {
        QFETCH(QString, troca);
        QTemporaryDir pasta;
        const QString caminho = pasta.filePath("LogErroConcentrador");
        const QString outro = pasta.filePath("POSTO.FDB");
        const QByteArray registro(200, 'r');
        QFile arquivo(outro);
        QVERIFY(arquivo.open(QIODevice::WriteOnly));
        arquivo.write(registro);
        arquivo.close();
        TLogArquivo log;
        log.Acrescenta(caminho, "primeira");
        gFechamentoQueFalha = caminho;
        gNoFechamento = [&] {
            if (troca.isEmpty())
                return;
            QVERIFY(QFile::rename(caminho, caminho + ".1"));
            if (troca == "link")
                QVERIFY(QFile::link(outro, caminho));
            else
                QVERIFY(QFile::copy(outro, caminho));
        };
        QVERIFY_THROWS_EXCEPTION(EErro, log.Acrescenta(caminho, "segunda"));
        QVERIFY(gFechamentoQueFalha.isEmpty()); // it did fail
        for (const QString& intacto : troca == "novo" ? QStringList{outro, caminho} : QStringList{outro}) {
            QFile f(intacto);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), registro);
        }
        QCOMPARE(log.Retidas(), qsizetype(1));
        if (troca.isEmpty()) {
            QVERIFY(log.Descarrega());
            QCOMPARE(LeLinhasLog(caminho), QStringList({"primeira", "segunda"}));
        }
    }

    // A real disk that fills up in the middle of a line, then a disk that turns read-only: the
    // line is never left cut in the file, the reason is named, and it is written whole later.
    void DiscoCheioNoMeioDaLinha()
    {
        QTemporaryDir pasta;
        QVERIFY(pasta.isValid());
        const QByteArray ponto = QFile::encodeName(pasta.path());
        // Two pages: one for the filler, one for the log.
        if (::mount("tmpfs", ponto.constData(), "tmpfs", 0, "size=8k") != 0)
            QFAIL(qPrintable(QString("a small tmpfs could not be mounted on %1 (%2): this test needs root")
                                 .arg(pasta.path(), QString::fromLocal8Bit(std::strerror(errno)))));
        auto desmonta = qScopeGuard([&] { ::umount2(ponto.constData(), MNT_DETACH); });
        QFile enchimento(pasta.filePath("enchimento"));
        QVERIFY(enchimento.open(QIODevice::WriteOnly));
        QCOMPARE(enchimento.write(QByteArray(4096, 'x')), qint64(4096));
        enchimento.close();

        const QString caminho = pasta.filePath("LogLinkor09122025");
        const QString primeira(4000, 'a');
        const QString segunda(200, 'b'); // 94 bytes of it still fit in the log's page
        TLogArquivo log;
        log.Acrescenta(caminho, primeira);
        QString mensagem;
        try {
            log.Acrescenta(caminho, segunda);
            QFAIL("a line was written to a full disk");
        } catch (const EErro& e) {
            mensagem = e.Mensagem();
        }
        QCOMPARE(LeLinhasLog(caminho), QStringList({primeira}));
        QCOMPARE(log.Retidas(), qsizetype(1));
        QCOMPARE(mensagem, "Não foi possível gravar o arquivo " + caminho + ": disco cheio");
        QCOMPARE(log.Causa(), TCausaFalhaLog::DiscoCheio);

        // Read-only now: a different cause, and still nothing cut.
        QCOMPARE(::mount("tmpfs", ponto.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=8k"), 0);
        QVERIFY(!log.Descarrega());
        QCOMPARE(log.Causa(), TCausaFalhaLog::SemPermissao);
        QVERIFY(log.Motivo().endsWith(": sem permissão de gravação"));

        QCOMPARE(::mount("tmpfs", ponto.constData(), "tmpfs", MS_REMOUNT, "size=8k"), 0);
        QVERIFY(QFile::remove(pasta.filePath("enchimento")));
        QVERIFY(log.Descarrega());
        QCOMPARE(log.Causa(), TCausaFalhaLog::Nenhuma);
        QCOMPARE(LeLinhasLog(caminho), QStringList({primeira, segunda}));
    }
};

QTEST_GUILESS_MAIN(TesteLogs)
#include "TesteLogs.moc"
