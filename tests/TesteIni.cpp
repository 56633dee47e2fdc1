#include "Ini.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TesteIni : public QObject {
    Q_OBJECT
private slots:
    void ValoresCrus()
    {
        QTemporaryDir pasta;
        QFile f(pasta.filePath("Caminho.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("; comentario\r\n[DataBaseEstoque]\r\n  caminho = 192.168.0.10:C:\\DADOS\\TANKORA.GDB  \r\n"
                "USUARIO=SYSDBA\r\nSENHA=a;b,c\r\n[Posto]\r\nUSA_FID=S\r\n");
        f.close();
        TArquivoIni ini(f.fileName());
        QCOMPARE(ini.LeTexto("DATABASEESTOQUE", "CAMINHO", ""), QString("192.168.0.10:C:\\DADOS\\TANKORA.GDB"));
        QCOMPARE(ini.LeTexto("databaseestoque", "Senha", ""), QString("a;b,c"));
        QCOMPARE(ini.LeTexto("POSTO", "usa_fid", "N"), QString("S"));
        QCOMPARE(ini.LeTexto("POSTO", "FALTA", "N"), QString("N"));
        QCOMPARE(TArquivoIni(pasta.filePath("nao-existe.ini")).LeTexto("POSTO", "USA_FID", "N"), QString("N"));
    }

    void NomeEmQualquerCaixa()
    {
        QTemporaryDir pasta;
        QFile f(pasta.filePath("CAMINHO.INI"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(LocalizaArquivo(pasta.path(), "caminho.ini"), f.fileName());
        QVERIFY(LocalizaArquivo(pasta.path(), "outro.ini").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TesteIni)
#include "TesteIni.moc"
