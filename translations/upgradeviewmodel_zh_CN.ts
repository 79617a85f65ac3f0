<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>QObject</name>
    <message>
        <source>Updating...</source>
        <translation>正在更新...</translation>
    </message>
    <message>
        <source>Device updated successfully.</source>
        <translation>设备更新成功。</translation>
    </message>
    <message>
        <source>Device update failed.</source>
        <translation>设备更新失败。</translation>
    </message>
</context>
</TS>
