<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ExtensionTab</name>
    <message>
        <source>自動変更でフォルダの壁紙をシャッフルする</source>
        <translation>Shuffle the folder in the automatic change</translation>
    </message>
    <message>
        <source>複数のモニター</source>
        <translation>Several monitors</translation>
    </message>
    <message>
        <source>どのモニターにも同じ壁紙</source>
        <translation>The same wallpaper on every monitor</translation>
    </message>
    <message>
        <source>モニターごとに別の壁紙</source>
        <translation>A wallpaper of its own on each monitor</translation>
    </message>
    <message>
        <source>全モニターにまたがる 1 枚の壁紙</source>
        <translation>One wallpaper across all monitors</translation>
    </message>
</context>
<context>
    <name>form_About</name>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>タスクバー常駐壁紙チェンジャー</source>
        <translation>Wallpaper changer in the tray</translation>
    </message>
    <message>
        <source>Brightmoss ホームページ</source>
        <translation>Brightmoss home page</translation>
    </message>
    <message>
        <source>ユーザーサポート</source>
        <translation>User support</translation>
    </message>
    <message>
        <source>Windows Version:</source>
        <translation>Windows Version:</translation>
    </message>
    <message>
        <source>Total Physical Memory: </source>
        <translation>Total Physical Memory: </translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>form_ChgWall</name>
    <message>
        <source>壁紙の選択</source>
        <translation>Choose Wallpaper</translation>
    </message>
    <message>
        <source>ファイル名をダブルクリックすると壁紙が変更されます</source>
        <translation>Double-click a file name to change the wallpaper</translation>
    </message>
    <message>
        <source>設定(&amp;S)...</source>
        <translation>&amp;Setup...</translation>
    </message>
    <message>
        <source>&amp;Erase</source>
        <translation>&amp;Erase</translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <translation>&amp;Preview</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>&amp;Setup...</source>
        <translation>&amp;Setup...</translation>
    </message>
</context>
<context>
    <name>form_Main</name>
    <message>
        <source>壁紙の変更(&amp;W)...</source>
        <translation>Change &amp;Wallpaper...</translation>
    </message>
    <message>
        <source>再描画(&amp;R)</source>
        <translation>&amp;Redraw</translation>
    </message>
    <message>
        <source>設定(&amp;S)...</source>
        <translation>&amp;Settings...</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)...</source>
        <translation>&amp;About...</translation>
    </message>
    <message>
        <source>終了(&amp;E)</source>
        <translation>&amp;Exit</translation>
    </message>
</context>
<context>
    <name>form_Setup</name>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>基本</source>
        <translation>General</translation>
    </message>
    <message>
        <source>表示位置</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>中央に表示</source>
        <translation>Centre</translation>
    </message>
    <message>
        <source>並べて表示</source>
        <translation>Tile</translation>
    </message>
    <message>
        <source>中央に並べて表示</source>
        <translation>Tile from centre</translation>
    </message>
    <message>
        <source>サイズ調整の詳細</source>
        <translation>Size adjustment</translation>
    </message>
    <message>
        <source>変形なし</source>
        <translation>No stretching</translation>
    </message>
    <message>
        <source>画面全体に変形</source>
        <translation>Stretch to the screen</translation>
    </message>
    <message>
        <source>画面の高さに合わせて拡大</source>
        <translation>Fit to screen height</translation>
    </message>
    <message>
        <source>画面の幅に合わせて拡大</source>
        <translation>Fit to screen width</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Arrangement (staggered tiles)</translation>
    </message>
    <message>
        <source>通常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>縦に交互</source>
        <translation>Vertical</translation>
    </message>
    <message>
        <source>横に交互</source>
        <translation>Horizontal</translation>
    </message>
    <message>
        <source>壁紙:</source>
        <translation>File:</translation>
    </message>
    <message>
        <source>壁紙変更時に指定されたアプリケーションを実行しない</source>
        <translation>Do not run the program after each change</translation>
    </message>
    <message>
        <source>ウィンドウ位置を保存する</source>
        <translation>Save window positions</translation>
    </message>
    <message>
        <source>ボタンをフラットにする</source>
        <translation>Flat buttons</translation>
    </message>
    <message>
        <source>終了時にレジストリ情報を削除</source>
        <translation>Erase settings on exit</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>Susieプラグイン参照フォルダ</source>
        <translation>Susie plug-in folder</translation>
    </message>
    <message>
        <source>壁紙画像参照フォルダ</source>
        <translation>Wallpaper picture folder</translation>
    </message>
    <message>
        <source>壁紙変更時実行ファイル (&quot;*.exe&quot;)</source>
        <translation>Program run on each change (&quot;*.exe&quot;)</translation>
    </message>
    <message>
        <source>壁紙バッファ名 (&quot;*.bmp&quot;)</source>
        <translation>Wallpaper buffer name (&quot;*.bmp&quot;)</translation>
    </message>
    <message>
        <source>ファイルを表示する拡張子 (&quot;*.bmp;*.dib;...&quot;)</source>
        <translation>Extensions of the files listed (&quot;*.bmp;*.dib;...&quot;)</translation>
    </message>
    <message>
        <source>オートQuillet</source>
        <translation>Auto Quillet</translation>
    </message>
    <message>
        <source>「オートQuillet」モード有効</source>
        <translation>“Auto Quillet” mode on</translation>
    </message>
    <message>
        <source>変更の間隔</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>分</source>
        <translation>m</translation>
    </message>
    <message>
        <source>終了したときの壁紙から開始</source>
        <translation>Start from last wallpaper</translation>
    </message>
    <message>
        <source>変更まであと</source>
        <translation>Next in</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>vantoria::ExtensionTab</name>
    <message>
        <source>拡張</source>
        <translation>Extras</translation>
    </message>
</context>
<context>
    <name>vantoria::HelpWindow</name>
    <message>
        <source>Vantoria ヘルプ</source>
        <translation>Vantoria Help</translation>
    </message>
</context>
<context>
    <name>vantoria::Tform_ChgWall</name>
    <message>
        <source>画像ファイル</source>
        <translation>Picture files</translation>
    </message>
    <message>
        <source>すべてのファイル (*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
</context>
<context>
    <name>vantoria::Tform_Main</name>
    <message>
        <source>設定を保存できませんでした。設定ファイルは変更されていません。</source>
        <translation>The settings could not be saved. The settings file is unchanged.</translation>
    </message>
    <message>
        <source>設定を削除できませんでした。設定ファイルは変更されていません。</source>
        <translation>The settings could not be erased. The settings file is unchanged.</translation>
    </message>
    <message>
        <source>ヘルプファイル Runo.hlp が見つかりません。</source>
        <translation>The help file Runo.hlp cannot be found.</translation>
    </message>
</context>
<context>
    <name>vantoria::Tform_Setup</name>
    <message>
        <source>Susie PlugIn フォルダの指定</source>
        <translation>Choose the Susie PlugIn folder</translation>
    </message>
    <message>
        <source>壁紙 フォルダの指定</source>
        <translation>Choose the wallpaper folder</translation>
    </message>
</context>
<context>
    <name>vantoria::TrayHostWatch</name>
    <message>
        <source>通知領域 (システムトレイ) が見つかりません。通知領域が使えるようになると、Vantoria のアイコンがそこに表示されます。</source>
        <translation>No notification area (system tray) was found. The Vantoria icon will appear there as soon as a notification area is available.</translation>
    </message>
</context>
</TS>
