<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>QObject</name>
    <message>
        <source>Updating...</source>
        <translation>Aktualisierung läuft...</translation>
    </message>
    <message>
        <source>Device updated successfully.</source>
        <translation>Gerät erfolgreich aktualisiert.</translation>
    </message>
    <message>
        <source>Device update failed.</source>
        <translation>Aktualisierung des Geräts fehlgeschlagen.</translation>
    </message>
</context>
</TS>
