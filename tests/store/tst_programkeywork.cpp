#include "store/SecretBox.h"

#include <QtTest>
#include <sodium.h>

// Built without the light key work the other test programs link: what the program itself
// writes, and that a wrap made with light figures does not open in it.
class TestProgramKeyWork : public QObject
{
    Q_OBJECT
private slots:
    void programWritesItsOwnFigures();
    void lightWrapIsRefused();
};

void TestProgramKeyWork::programWritesItsOwnFigures()
{
    QCOMPARE(SecretBox::work().ops, SecretBox::kOpsLimit);
    QCOMPARE(SecretBox::work().mem, SecretBox::kMemLimit);
    const QStringList parts = SecretBox::wrap(SecretBox::Key::random(), QStringLiteral("pw")).split(u'$');
    QCOMPARE(parts.value(1), QString::number(SecretBox::kOpsLimit));
    QCOMPARE(parts.value(2), QString::number(SecretBox::kMemLimit / 1024));
}

// A wrap as a test program writes it (1 pass over 8 KiB), sound in every other respect.
void TestProgramKeyWork::lightWrapIsRefused()
{
    QVERIFY(sodium_init() >= 0);
    const unsigned long long ops = 1;
    const size_t mem = 8 * 1024;
    const QByteArray password("pw");
    QByteArray salt(crypto_pwhash_SALTBYTES, Qt::Uninitialized);
    randombytes_buf(salt.data(), size_t(salt.size()));
    const QString header =
        QStringLiteral("vkey2$%1$%2$%3").arg(ops).arg(mem / 1024).arg(QString::fromLatin1(salt.toBase64()));
    unsigned char wrapping[32];
    QCOMPARE(crypto_pwhash(wrapping, sizeof wrapping, password.constData(), size_t(password.size()),
                           reinterpret_cast<const unsigned char*>(salt.constData()), ops, mem,
                           crypto_pwhash_ALG_ARGON2ID13),
             0);
    const SecretBox::Key key = SecretBox::Key::random();
    const QByteArray extra = header.toLatin1();
    QByteArray sealed(qsizetype(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES + SecretBox::Key::kBytes +
                                crypto_aead_xchacha20poly1305_ietf_ABYTES),
                      Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(sealed.data());
    randombytes_buf(nonce, crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + crypto_aead_xchacha20poly1305_ietf_NPUBBYTES, nullptr,
                                               key.bytes(), SecretBox::Key::kBytes,
                                               reinterpret_cast<const unsigned char*>(extra.constData()),
                                               size_t(extra.size()), nullptr, nonce, wrapping);
    const QString wrapped = header + u'$' + QString::fromLatin1(sealed.toBase64());

    QVERIFY(!SecretBox::wellFormed(wrapped));
    QVERIFY(!SecretBox::unwrap(wrapped, QStringLiteral("pw")));
}

QTEST_GUILESS_MAIN(TestProgramKeyWork)
#include "tst_programkeywork.moc"
