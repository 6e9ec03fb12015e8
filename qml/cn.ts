<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>QPlatformTheme</name>
    <message><source>OK</source><translation>确定</translation></message>
    <message><source>Cancel</source><translation>取消</translation></message>
    <message><source>Yes</source><translation>是</translation></message>
    <message><source>No</source><translation>否</translation></message>
    <message><source>Save</source><translation>保存</translation></message>
    <message><source>Close</source><translation>关闭</translation></message>
    <message><source>Apply</source><translation>应用</translation></message>
    <message><source>Open</source><translation>打开</translation></message>
    <message><source>Discard</source><translation>放弃</translation></message>
    <message><source>Retry</source><translation>重试</translation></message>
    <message><source>Ignore</source><translation>忽略</translation></message>
    <message><source>Help</source><translation>帮助</translation></message>
</context>
<context>
    <name>QShortcut</name>
    <message><source>Ctrl</source><translation>Ctrl</translation></message>
</context>
</TS>
