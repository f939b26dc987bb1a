<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Texts</name>
    <message>
        <source>%1：请输入一个整数。</source>
        <translation>%1: please enter an integer.</translation>
    </message>
    <message>
        <source>%1：请输入一个数值。</source>
        <translation>%1: please enter a number.</translation>
    </message>
    <message>
        <source>整数</source>
        <translation>an integer</translation>
    </message>
    <message>
        <source>数值</source>
        <translation>a number</translation>
    </message>
    <message>
        <source>%1：请输入介于 %2 和 %3 之间的%4。</source>
        <translation>%1: please enter %4 between %2 and %3.</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>查找范围：</source>
        <translation>Look in:</translation>
    </message>
    <message>
        <source>文件名：</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>文件类型：</source>
        <translation>Files of type:</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>打开(&amp;O)</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source> GPX航迹</source>
        <translation> GPX tracks</translation>
    </message>
    <message>
        <source> GPX详细航线</source>
        <translation> GPX detailed routes</translation>
    </message>
    <message>
        <source> 以上两者</source>
        <translation> Both</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>虚拟串口</source>
        <translation>Virtual port</translation>
    </message>
    <message>
        <source>TCP服务器</source>
        <translation>TCP server</translation>
    </message>
    <message>
        <source>TCP客户端</source>
        <translation>TCP client</translation>
    </message>
    <message>
        <source>按一下</source>
        <translation>One press</translation>
    </message>
    <message>
        <source>短时间按住</source>
        <translation>Short hold</translation>
    </message>
    <message>
        <source>长时间按住</source>
        <translation>Long hold</translation>
    </message>
    <message>
        <source>推荐值：1度</source>
        <translation>Suggested: 1°</translation>
    </message>
    <message>
        <source>推荐值：2度</source>
        <translation>Suggested: 2°</translation>
    </message>
    <message>
        <source>推荐值：5度</source>
        <translation>Suggested: 5°</translation>
    </message>
    <message>
        <source>北斗</source>
        <translation>BeiDou</translation>
    </message>
    <message>
        <source>高度(米)</source>
        <translation>Altitude (m)</translation>
    </message>
    <message>
        <source>方位角(度)</source>
        <translation>Course (°)</translation>
    </message>
    <message>
        <source>速度(千米/小时)</source>
        <translation>Speed (km/h)</translation>
    </message>
    <message>
        <source>Tolvex GPS 模拟器 V0.3.1</source>
        <translation>Tolvex GPS Simulator V0.3.1</translation>
    </message>
    <message>
        <source>输出1</source>
        <translation>Output 1</translation>
    </message>
    <message>
        <source>输出2</source>
        <translation>Output 2</translation>
    </message>
    <message>
        <source>输出3</source>
        <translation>Output 3</translation>
    </message>
    <message>
        <source>输出0(Ozi)</source>
        <translation>Output 0 (Ozi)</translation>
    </message>
    <message>
        <source>杂项</source>
        <translation>Misc</translation>
    </message>
    <message>
        <source>航迹</source>
        <translation>Track</translation>
    </message>
    <message>
        <source>卫星</source>
        <translation>Satellites</translation>
    </message>
    <message>
        <source>输出1 间隔(毫秒)</source>
        <translation>Output 1 interval (ms)</translation>
    </message>
    <message>
        <source>输出2 间隔(毫秒)</source>
        <translation>Output 2 interval (ms)</translation>
    </message>
    <message>
        <source>输出3 间隔(毫秒)</source>
        <translation>Output 3 interval (ms)</translation>
    </message>
    <message>
        <source>输出0 间隔(毫秒)</source>
        <translation>Output 0 interval (ms)</translation>
    </message>
    <message>
        <source>上限</source>
        <translation>Upper limit</translation>
    </message>
    <message>
        <source>下限</source>
        <translation>Lower limit</translation>
    </message>
    <message>
        <source>时间缩放因子</source>
        <translation>Time scale factor</translation>
    </message>
    <message>
        <source>鼠标滚轮灵敏度</source>
        <translation>Mouse wheel sensitivity</translation>
    </message>
    <message>
        <source>航迹段最少点数</source>
        <translation>Fewest points in a segment</translation>
    </message>
    <message>
        <source>航迹段最短长度（米）</source>
        <translation>Shortest segment (m)</translation>
    </message>
    <message>
        <source>截止高度角（度）</source>
        <translation>Elevation mask (°)</translation>
    </message>
    <message>
        <source>用户等效距离误差（米）</source>
        <translation>User range error, UERE (m)</translation>
    </message>
    <message>
        <source>噪声相关时间（秒）</source>
        <translation>Noise correlation time (s)</translation>
    </message>
    <message>
        <source>运行中,对方已打开</source>
        <translation>Running, peer open</translation>
    </message>
    <message>
        <source>运行中,对方未打开</source>
        <translation>Running, peer not open</translation>
    </message>
    <message>
        <source>运行中(经Ozi API)</source>
        <translation>Running (via Ozi API)</translation>
    </message>
    <message>
        <source>0.000001 度</source>
        <translation>0.000001 °</translation>
    </message>
    <message>
        <source>0.00001 度</source>
        <translation>0.00001 °</translation>
    </message>
    <message>
        <source>0.0001 度</source>
        <translation>0.0001 °</translation>
    </message>
    <message>
        <source>0.001度</source>
        <translation>0.001°</translation>
    </message>
    <message>
        <source>0.0001分</source>
        <translation>0.0001&apos;</translation>
    </message>
    <message>
        <source>0.001分</source>
        <translation>0.001&apos;</translation>
    </message>
    <message>
        <source>0.01分</source>
        <translation>0.01&apos;</translation>
    </message>
    <message>
        <source>0.1分</source>
        <translation>0.1&apos;</translation>
    </message>
    <message>
        <source>0.01秒</source>
        <translation>0.01&quot;</translation>
    </message>
    <message>
        <source>0.1秒</source>
        <translation>0.1&quot;</translation>
    </message>
    <message>
        <source>1秒</source>
        <translation>1&quot;</translation>
    </message>
    <message>
        <source>10秒</source>
        <translation>10&quot;</translation>
    </message>
    <message>
        <source>当前位置(&amp;P)</source>
        <translation>&amp;Position</translation>
    </message>
    <message>
        <source>收藏点(&amp;F)</source>
        <translation>&amp;Favorites</translation>
    </message>
    <message>
        <source>模式(&amp;M)</source>
        <translation>&amp;Mode</translation>
    </message>
    <message>
        <source>航迹(&amp;K)</source>
        <translation>Trac&amp;k</translation>
    </message>
    <message>
        <source>复制纬度(&amp;L)</source>
        <translation>Copy &amp;latitude</translation>
    </message>
    <message>
        <source>复制经度(&amp;G)</source>
        <translation>Copy lon&amp;gitude</translation>
    </message>
    <message>
        <source>格式：度(&amp;D)</source>
        <translation>Format: &amp;degrees</translation>
    </message>
    <message>
        <source>格式：度分(&amp;M)</source>
        <translation>Format: degrees, &amp;minutes</translation>
    </message>
    <message>
        <source>格式：度分秒(&amp;S)</source>
        <translation>Format: degrees, minutes, &amp;seconds</translation>
    </message>
    <message>
        <source>当前位置设为收藏点(&amp;F)</source>
        <translation>Save position as &amp;favorite</translation>
    </message>
    <message>
        <source>选项(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>总在最前(&amp;T)</source>
        <translation>Always on &amp;top</translation>
    </message>
    <message>
        <source>地图(&amp;D)</source>
        <translation>Map (&amp;D)</translation>
    </message>
    <message>
        <source>自由驾驶(&amp;F)</source>
        <translation>&amp;Free driving</translation>
    </message>
    <message>
        <source>逐点重放航迹(&amp;P)</source>
        <translation>&amp;Point by point replay</translation>
    </message>
    <message>
        <source>手控速度航迹(&amp;M)</source>
        <translation>&amp;Manual speed replay</translation>
    </message>
    <message>
        <source>比例速度航迹(&amp;S)</source>
        <translation>&amp;Scaled speed replay</translation>
    </message>
    <message>
        <source>载入航迹(&amp;L)</source>
        <translation>&amp;Load track</translation>
    </message>
    <message>
        <source>反序(&amp;R)</source>
        <translation>&amp;Reverse</translation>
    </message>
    <message>
        <source>不循环(&amp;X)</source>
        <translation>No loop (&amp;X)</translation>
    </message>
    <message>
        <source>文件循环(&amp;F)</source>
        <translation>Loop the &amp;file</translation>
    </message>
    <message>
        <source>段内循环(&amp;T)</source>
        <translation>Loop the segmen&amp;t</translation>
    </message>
    <message>
        <source>上一段(&amp;P)</source>
        <translation>&amp;Previous segment</translation>
    </message>
    <message>
        <source>下一段(&amp;N)</source>
        <translation>&amp;Next segment</translation>
    </message>
    <message>
        <source>选择段(&amp;S)</source>
        <translation>&amp;Select segment</translation>
    </message>
    <message>
        <source>存为NMEA文件</source>
        <translation>Save as NMEA file</translation>
    </message>
    <message>
        <source>快速帮助(&amp;H)</source>
        <translation>Quick &amp;help</translation>
    </message>
    <message>
        <source>%s    %s    高度 %.1fm    方位角 %.2f°</source>
        <translation>%s    %s    Alt %.1fm    Course %.2f°</translation>
    </message>
    <message>
        <source>停止 </source>
        <translation>Stopped </translation>
    </message>
    <message>
        <source>运行 </source>
        <translation>Running </translation>
    </message>
    <message>
        <source>暂停 </source>
        <translation>Paused </translation>
    </message>
    <message>
        <source>当前航迹点时间（UTC）：        </source>
        <translation>Track point time (UTC):        </translation>
    </message>
    <message>
        <source>无                               </source>
        <translation>none                               </translation>
    </message>
    <message>
        <source>偏移 左%.1fm      </source>
        <translation>Offset L%.1fm      </translation>
    </message>
    <message>
        <source>偏移 右%.1fm      </source>
        <translation>Offset R%.1fm      </translation>
    </message>
    <message>
        <source>偏移 0m        </source>
        <translation>Offset 0m        </translation>
    </message>
    <message>
        <source>速度 %7.1f Km/h     </source>
        <translation>Speed %7.1f Km/h     </translation>
    </message>
    <message>
        <source>高度 %9.1f m      </source>
        <translation>Alt %9.1f m      </translation>
    </message>
    <message>
        <source>GPS速度 %7.1f Km/h     </source>
        <translation>GPS Spd %7.1f Km/h     </translation>
    </message>
    <message>
        <source>方位角 %6.2f°    </source>
        <translation>Course %6.2f°    </translation>
    </message>
    <message>
        <source>输出</source>
        <translation>Out</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>%d / %d 段      </source>
        <translation>Seg %d / %d      </translation>
    </message>
    <message>
        <source>段内 %d / %d 点        </source>
        <translation>Pt %d / %d        </translation>
    </message>
    <message>
        <source>总 %d / %d 点          </source>
        <translation>All %d / %d          </translation>
    </message>
    <message>
        <source>速度比例 %.2f     </source>
        <translation>Ratio %.2f     </translation>
    </message>
    <message>
        <source>当前位置</source>
        <translation>Current position</translation>
    </message>
    <message>
        <source>纬度(度)</source>
        <translation>Latitude (°)</translation>
    </message>
    <message>
        <source>经度(度)</source>
        <translation>Longitude (°)</translation>
    </message>
    <message>
        <source>纬度</source>
        <translation>Latitude</translation>
    </message>
    <message>
        <source>经度</source>
        <translation>Longitude</translation>
    </message>
    <message>
        <source>鼠标右击：菜单                                   鼠标双击：编辑当前位置或选项</source>
        <translation>Right click: menu                                   Double click: edit position or options</translation>
    </message>
    <message>
        <source>鼠标滚轮转动：左右转向                   鼠标滚轮点击：暂停</source>
        <translation>Wheel turn: steer left/right                   Wheel click: pause</translation>
    </message>
    <message>
        <source>鼠标左键+滚轮：加/减速度                Enter：快速帮助</source>
        <translation>Left button + wheel: faster/slower                Enter: quick help</translation>
    </message>
    <message>
        <source>鼠标右键+滚轮：视光标所在位置，改变经纬度、高度、速度、方位角</source>
        <translation>Right button + wheel: change the latitude, longitude, altitude, speed or course under the cursor</translation>
    </message>
    <message>
        <source>Q 或 O：左转 10 度                              W 或 P：右转 10 度</source>
        <translation>Q or O: turn left 10°                              W or P: turn right 10°</translation>
    </message>
    <message>
        <source>Z 或 &lt;：左转 45 度                               X 或 &gt;：右转 45 度</source>
        <translation>Z or &lt;: turn left 45°                               X or &gt;: turn right 45°</translation>
    </message>
    <message>
        <source>左/右箭头：左/右转向                        上/下箭头：加/减速度</source>
        <translation>Left/Right arrow: steer left/right                        Up/Down arrow: faster/slower</translation>
    </message>
    <message>
        <source>F5：正北          F6：正东                      F7：正南        F8：正西</source>
        <translation>F5: due north          F6: due east                      F7: due south        F8: due west</translation>
    </message>
    <message>
        <source>Esc：停止         F1：帮助                      F2：运行       空格：暂停</source>
        <translation>Esc: stop         F1: help                      F2: run       Space: pause</translation>
    </message>
    <message>
        <source>OZI中单击地图：驶向该点                  OZI中双击地图：跳跃至该点</source>
        <translation>Click on the OZI map: drive there                  Double click on the OZI map: jump there</translation>
    </message>
    <message>
        <source>A 或 L：向左跳跃 1 步                          S 或 分号：向右跳跃 1 步</source>
        <translation>A or L: jump 1 step left                          S or ;: jump 1 step right</translation>
    </message>
    <message>
        <source>Y/H/B/G：向北/东/南/西跳跃 1 步       Ctrl+1～0：跳至收藏点1～10</source>
        <translation>Y/H/B/G: jump 1 step N/E/S/W       Ctrl+1…0: jump to favorite 1…10</translation>
    </message>
    <message>
        <source>U/N/V/T：向东北/东南/西南/西北跳跃 1 步      D：打开/关闭地图</source>
        <translation>U/N/V/T: jump 1 step NE/SE/SW/NW      D: open/close the map</translation>
    </message>
    <message>
        <source>Ctrl/Shift/Ctrl+Shift：按住后 轻度/中度/重度 加速其他鼠标及键盘控制</source>
        <translation>Hold Ctrl/Shift/Ctrl+Shift: the other mouse and key controls act a little/more/much more</translation>
    </message>
    <message>
        <source>~ 1 2 3 4 5 6 7 8 9 0：速度为 5 10 20 30 40 50 60 80 100 120 0 千米/小时</source>
        <translation>~ 1 2 3 4 5 6 7 8 9 0: speed 5 10 20 30 40 50 60 80 100 120 0 km/h</translation>
    </message>
    <message>
        <source>鼠标滚轮转动：快进/快退                  鼠标滚轮点击：暂停</source>
        <translation>Wheel turn: forward/back                  Wheel click: pause</translation>
    </message>
    <message>
        <source>鼠标左键+滚轮：加/减速度（M模式）或速度比例（S模式）</source>
        <translation>Left button + wheel: faster/slower (mode M) or speed ratio (mode S)</translation>
    </message>
    <message>
        <source>鼠标右键+滚轮：视光标所在位置，改变速度（速度比例）、偏移、段、点</source>
        <translation>Right button + wheel: change the speed (ratio), offset, segment or point under the cursor</translation>
    </message>
    <message>
        <source>上/下箭头：加/减速度（M模式）或速度比例（S模式）</source>
        <translation>Up/Down arrow: faster/slower (mode M) or speed ratio (mode S)</translation>
    </message>
    <message>
        <source>OZI中双击地图：跳跃至离双击点最近的航迹     D：打开/关闭地图</source>
        <translation>Double click on the OZI map: jump to the nearest track point     D: open/close the map</translation>
    </message>
    <message>
        <source>Enter：快速帮助                                    Ctrl+1～0：跳至收藏点1～10最近的航迹</source>
        <translation>Enter: quick help                                    Ctrl+1…0: jump to the track point nearest favorite 1…10</translation>
    </message>
    <message>
        <source>~ 1 2 3 4 5 6 7 8 9 0：速度为 5 10 20 30 40 50 60 80 100 120 0 Km/h（M模式）</source>
        <translation>~ 1 2 3 4 5 6 7 8 9 0: speed 5 10 20 30 40 50 60 80 100 120 0 km/h (mode M)</translation>
    </message>
    <message>
        <source>~ 1 2 3 4 5 6 7 8 9 0：速度比例为 0.2 0.3 0.5 0.75 1 1.5  2  3  5 10 0（S模式）</source>
        <translation>~ 1 2 3 4 5 6 7 8 9 0: speed ratio 0.2 0.3 0.5 0.75 1 1.5  2  3  5 10 0 (mode S)</translation>
    </message>
    <message>
        <source>方向盘按钮：自由驾驶模式                   P/M/S按钮：航迹重播P/M/S模式</source>
        <translation>Steering wheel button: free driving                   P/M/S buttons: track replay in mode P/M/S</translation>
    </message>
    <message>
        <source>快速帮助 - 自由驾驶模式</source>
        <translation>Quick help - free driving</translation>
    </message>
    <message>
        <source>快速帮助 - 航迹重播模式</source>
        <translation>Quick help - track replay</translation>
    </message>
    <message>
        <source>切换为自由驾驶模式</source>
        <translation>Switch to free driving</translation>
    </message>
    <message>
        <source>切换为逐点重播航迹模式</source>
        <translation>Switch to point by point replay</translation>
    </message>
    <message>
        <source>切换为手控速度航迹模式</source>
        <translation>Switch to manual speed replay</translation>
    </message>
    <message>
        <source>切换为比例速度航迹模式</source>
        <translation>Switch to scaled speed replay</translation>
    </message>
    <message>
        <source>在不循环、航迹文件循环、航迹段内循环间转换</source>
        <translation>Cycle through no loop, loop the file and loop the segment</translation>
    </message>
    <message>
        <source>选择正序或反序播放航迹</source>
        <translation>Play the track forwards or in reverse</translation>
    </message>
    <message>
        <source>载入航迹文件</source>
        <translation>Load a track file</translation>
    </message>
    <message>
        <source>启动</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>帮助。提示：右击面板调出菜单</source>
        <translation>Help. Tip: right-click the panel for the menu</translation>
    </message>
    <message>
        <source>切换页</source>
        <translation>Switch page</translation>
    </message>
    <message>
        <source>关于 Tolvex(&amp;A)...</source>
        <translation>&amp;About Tolvex...</translation>
    </message>
    <message>
        <source>关于 Tolvex GPS 模拟器</source>
        <translation>About Tolvex GPS Simulator</translation>
    </message>
    <message>
        <source>提示：右击主面板调出菜单</source>
        <translation>Tip: right-click the panel for the menu</translation>
    </message>
    <message>
        <source>未找到 %s </source>
        <translation>%s not found </translation>
    </message>
    <message>
        <source>%s 版本太低 </source>
        <translation>%s is too old </translation>
    </message>
    <message>
        <source>OziExplorer 尚未运行 </source>
        <translation>OziExplorer is not running </translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>无法打开串口 %s </source>
        <translation>Cannot open serial port %s </translation>
    </message>
    <message>
        <source>无法创建虚拟串口对象，请确认虚拟串口控件及驱动已正确安装 </source>
        <translation>Cannot create the virtual port object; check that pseudo-terminals are available </translation>
    </message>
    <message>
        <source>创建虚拟串口对象失败 </source>
        <translation>Creating the virtual port object failed </translation>
    </message>
    <message>
        <source>无法创建虚拟串口 %s </source>
        <translation>Cannot create virtual port %s </translation>
    </message>
    <message>
        <source>Tolvex无法删除虚拟串口COM%d的链接：
%s
请在其他软件中关闭正在使用的COM%d，
并手动删除该链接。 </source>
        <translation>Tolvex cannot remove the link of virtual port COM%d:
%s
Please close COM%d in the program that uses it,
then remove the link by hand. </translation>
    </message>
    <message>
        <source>无法打开网络端口 %s：%s</source>
        <translation>Cannot open network port %s: %s</translation>
    </message>
    <message>
        <source>输出%d与输出%d均监听TCP端口%d，无法启动输出%d </source>
        <translation>Output %d and output %d both listen on TCP port %d; output %d cannot start </translation>
    </message>
    <message>
        <source>TCP客户端 </source>
        <translation>TCP client </translation>
    </message>
    <message>
        <source>TCP服务器 </source>
        <translation>TCP server </translation>
    </message>
    <message>
        <source>手控速度航迹模式（M模式），且速度为0时，无法产生NMEA文件！</source>
        <translation>In manual speed replay (mode M) with speed 0 no NMEA file can be made!</translation>
    </message>
    <message>
        <source>时间驱动航迹模式（S模式），且速度比例为0时，无法产生NMEA文件！</source>
        <translation>In time driven replay (mode S) with speed ratio 0 no NMEA file can be made!</translation>
    </message>
    <message>
        <source>手控速度航迹模式（M模式），且速度较小时，可能产生较大的NMEA文件
是否继续？</source>
        <translation>In manual speed replay (mode M) a low speed may make a large NMEA file.
Continue?</translation>
    </message>
    <message>
        <source>无法写入文件：
</source>
        <translation>Cannot write the file:
</translation>
    </message>
    <message>
        <source>已存为</source>
        <translation>Saved as </translation>
    </message>
    <message>
        <source>输出%d与输出%d的串口均为COM%d，无法启动输出%d </source>
        <translation>Output %d and output %d both use COM%d; output %d cannot start </translation>
    </message>
    <message>
        <source>输出%d（COM%d）与输出%d（COM%d）的串口均为%s，无法启动输出%d </source>
        <translation>Output %d (COM%d) and output %d (COM%d) both use %s; output %d cannot start </translation>
    </message>
    <message>
        <source>端口重复</source>
        <translation>Port in use twice</translation>
    </message>
    <message>
        <source>输出0：OziExplorer</source>
        <translation>Output 0: OziExplorer</translation>
    </message>
    <message>
        <source>输出0：OziExplorer未启动</source>
        <translation>Output 0: OziExplorer not started</translation>
    </message>
    <message>
        <source>输出%d：未启动</source>
        <translation>Output %d: not started</translation>
    </message>
    <message>
        <source>输出%d：%s</source>
        <translation>Output %d: %s</translation>
    </message>
    <message>
        <source>输出%d：%sCOM%d</source>
        <translation>Output %d: %sCOM%d</translation>
    </message>
    <message>
        <source>虚拟</source>
        <translation>virtual </translation>
    </message>
    <message>
        <source>无法读取历书文件，改用标准星座：</source>
        <translation>Cannot read the almanac file; using the nominal constellation: </translation>
    </message>
    <message>
        <source>纬度 %c%09.6f°</source>
        <translation>Lat %c%09.6f°</translation>
    </message>
    <message>
        <source>经度 %c%010.6f°</source>
        <translation>Lon %c%010.6f°</translation>
    </message>
    <message>
        <source>纬度 %c%02d°%07.4f&apos;</source>
        <translation>Lat %c%02d°%07.4f&apos;</translation>
    </message>
    <message>
        <source>经度 %c%03d°%07.4f&apos;</source>
        <translation>Lon %c%03d°%07.4f&apos;</translation>
    </message>
    <message>
        <source>纬度 %c%02d°%02d&apos;%05.2f&quot;</source>
        <translation>Lat %c%02d°%02d&apos;%05.2f&quot;</translation>
    </message>
    <message>
        <source>经度 %c%03d°%02d&apos;%05.2f&quot;</source>
        <translation>Lon %c%03d°%02d&apos;%05.2f&quot;</translation>
    </message>
    <message>
        <source>纬度 %c%09.6f°     </source>
        <translation>Lat  %c%09.6f°     </translation>
    </message>
    <message>
        <source>经度 %c%010.6f°     </source>
        <translation>Lon  %c%010.6f°     </translation>
    </message>
    <message>
        <source>纬度 %c%02d°%07.4f&apos;  </source>
        <translation>Lat  %c%02d°%07.4f&apos;  </translation>
    </message>
    <message>
        <source>经度 %c%03d°%07.4f&apos;  </source>
        <translation>Lon  %c%03d°%07.4f&apos;  </translation>
    </message>
    <message>
        <source>纬度 %c%02d°%02d&apos;%05.2f&quot;  </source>
        <translation>Lat  %c%02d°%02d&apos;%05.2f&quot;  </translation>
    </message>
    <message>
        <source>经度 %c%03d°%02d&apos;%05.2f&quot;  </source>
        <translation>Lon  %c%03d°%02d&apos;%05.2f&quot;  </translation>
    </message>
    <message>
        <source>不是有效的OZI plt文件：
%s</source>
        <translation>Not a valid OZI plt file:
%s</translation>
    </message>
    <message>
        <source>载入GPX文件失败</source>
        <translation>Loading the GPX file failed</translation>
    </message>
    <message>
        <source>载入kml文件失败</source>
        <translation>Loading the kml file failed</translation>
    </message>
    <message>
        <source>载入gpssim文件失败</source>
        <translation>Loading the gpssim file failed</translation>
    </message>
    <message>
        <source>不是有效的trk文件</source>
        <translation>Not a valid trk file</translation>
    </message>
    <message>
        <source>载入NMEA文件失败</source>
        <translation>Loading the NMEA file failed</translation>
    </message>
    <message>
        <source>GPX文件内未找到航迹或航线</source>
        <translation>No track or route found in the GPX file</translation>
    </message>
    <message>
        <source>kml文件内未找到Placemark</source>
        <translation>No Placemark found in the kml file</translation>
    </message>
    <message>
        <source>未知的航迹文件类型：
</source>
        <translation>Unknown track file type:
</translation>
    </message>
    <message>
        <source>不是有效的OZI plt文件：
</source>
        <translation>Not a valid OZI plt file:
</translation>
    </message>
    <message>
        <source>不支持的trk文件版本</source>
        <translation>Unsupported trk file version</translation>
    </message>
    <message>
        <source>%3d： %s   %4d点   %5.1fKm   起点%s   起点%s  </source>
        <translation>%3d: %s   %4d pts   %5.1fKm   start %s   start %s  </translation>
    </message>
    <message>
        <source>%d段航迹，共%d点，%.1fKm</source>
        <translation>%d segments, %d points, %.1fKm</translation>
    </message>
    <message>
        <source>（共%d段，%d点，%.1fKm）</source>
        <translation>(%d segments, %d points, %.1fKm in all)</translation>
    </message>
    <message>
        <source>内存不足，无法反向回放航迹</source>
        <translation>Not enough memory to replay the track reversed</translation>
    </message>
    <message>
        <source>航迹不含时间，S模式将每步前进一个点，显示的速度与实际运动不符 </source>
        <translation>The track carries no times: mode S moves one point per step and the shown speed does not match the motion </translation>
    </message>
    <message>
        <source>无法读取文件：
</source>
        <translation>Cannot read the file:
</translation>
    </message>
</context>
<context>
    <name>tolvex::CAddFavoPoint</name>
    <message>
        <source>当前位置设为收藏点</source>
        <translation>Save position as favorite</translation>
    </message>
    <message>
        <source>当前位置：</source>
        <translation>Current position:</translation>
    </message>
    <message>
        <source>选择待替换的收藏点</source>
        <translation>Favorite to replace</translation>
    </message>
    <message>
        <source>收藏点名称</source>
        <translation>Favorite name</translation>
    </message>
</context>
<context>
    <name>tolvex::CCurrentPosition</name>
    <message>
        <source>北</source>
        <translation>N</translation>
    </message>
    <message>
        <source>南</source>
        <translation>S</translation>
    </message>
    <message>
        <source>东</source>
        <translation>E</translation>
    </message>
    <message>
        <source>西</source>
        <translation>W</translation>
    </message>
    <message>
        <source>(度)</source>
        <translation> (°)</translation>
    </message>
    <message>
        <source>(分)</source>
        <translation> (&apos;)</translation>
    </message>
    <message>
        <source>(秒)</source>
        <translation> (&quot;)</translation>
    </message>
</context>
<context>
    <name>tolvex::CGPXTrkRteSelect</name>
    <message>
        <source>选择GPX航迹及详细航线</source>
        <translation>Choose GPX tracks or detailed routes</translation>
    </message>
    <message>
        <source>该GPX文件中含有%1条航迹，及%2条航线
航线中可能含有扩展的详细航线坐标

请选择待载入的类别：</source>
        <translation>This GPX file holds %1 tracks and %2 routes.
The routes may hold extended detailed route points.

Choose what to load:</translation>
    </message>
</context>
<context>
    <name>tolvex::CMapWindow</name>
    <message>
        <source>Tolvex 地图</source>
        <translation>Tolvex map</translation>
    </message>
    <message>
        <source>跟随</source>
        <translation>Follow</translation>
    </message>
    <message>
        <source>地图跟随当前位置（拖动地图时关闭）</source>
        <translation>The map follows the position (off while you drag the map)</translation>
    </message>
    <message>
        <source>全程</source>
        <translation>Whole</translation>
    </message>
    <message>
        <source>显示整条航迹</source>
        <translation>Show the whole track</translation>
    </message>
    <message>
        <source>正在准备航迹…</source>
        <translation>Preparing the track…</translation>
    </message>
</context>
<context>
    <name>tolvex::COptionGPS</name>
    <message>
        <source>上限</source>
        <translation>Upper limit</translation>
    </message>
    <message>
        <source>下限</source>
        <translation>Lower limit</translation>
    </message>
    <message>
        <source>时间偏移</source>
        <translation>Time offset</translation>
    </message>
    <message>
        <source>时间缩放因子</source>
        <translation>Time scale factor</translation>
    </message>
    <message>
        <source>GPS 速度(NMEA 语句中的速度)</source>
        <translation>GPS speed (the speed in the NMEA sentences)</translation>
    </message>
    <message>
        <source>注：若设定的上限速度小于下限速度，则GPS速度始终为上限速度</source>
        <translation>Note: when the upper limit is below the lower limit, the GPS speed is always the upper limit</translation>
    </message>
    <message>
        <source>1：正常，0：时间不变，0～1时间变慢，&gt;1时间变快</source>
        <translation>1: normal, 0: time stands still, 0…1: time runs slower, &gt;1: time runs faster</translation>
    </message>
</context>
<context>
    <name>tolvex::COptionMisc</name>
    <message>
        <source>鼠标滚轮灵敏度</source>
        <translation>Mouse wheel sensitivity</translation>
    </message>
    <message>
        <source>经纬度格式</source>
        <translation>Lat/lon format</translation>
    </message>
    <message>
        <source>跳跃步长</source>
        <translation>Jump step</translation>
    </message>
    <message>
        <source>（用于跳跃键。在南北方向上0.00001 度大约等于1米，东西方向上随纬度增加而减小）</source>
        <translation>(for the jump keys. North-south, 0.00001° is about 1 m; east-west it shrinks as the latitude grows)</translation>
    </message>
    <message>
        <source>左右箭头灵敏度(度)</source>
        <translation>Left/right arrow sensitivity (°)</translation>
    </message>
    <message>
        <source>推荐值：5度（负值反转方向）</source>
        <translation>Suggested: 5° (negative reverses)</translation>
    </message>
</context>
<context>
    <name>tolvex::COptionOutput</name>
    <message>
        <source>启用</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>输出%1 间隔(毫秒)</source>
        <translation>Output %1 interval (ms)</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>校验</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>提示： 标准 NMEA 设置为4800 波特，1 停止位，无校验</source>
        <translation>Tip: standard NMEA is 4800 baud, 1 stop bit, no parity</translation>
    </message>
    <message>
        <source>注：本系统的串口不支持1.5停止位，选择1.5时按2停止位发送</source>
        <translation>Note: serial ports here have no 1.5 stop bits; 1.5 sends 2 stop bits</translation>
    </message>
    <message>
        <source>毫秒（1Hz GPS为1000，5Hz GPS为200）</source>
        <translation>ms (1000 for a 1 Hz GPS, 200 for 5 Hz)</translation>
    </message>
    <message>
        <source>提示: RMC 是最基本的 NMEA 语句</source>
        <translation>Tip: RMC is the most basic NMEA sentence</translation>
    </message>
    <message>
        <source>运行中,已连接</source>
        <translation>Running, connected</translation>
    </message>
    <message>
        <source>运行中,未连接</source>
        <translation>Running, not connected</translation>
    </message>
    <message>
        <source>地址“%1”无效。TCP服务器写作 [地址:]端口，如 10110 或 0.0.0.0:10110；TCP客户端和UDP写作 主机:端口，如 %2</source>
        <translation>The address &quot;%1&quot; is not valid. A TCP server takes [address:]port, such as 10110 or 0.0.0.0:10110; a TCP client and UDP take host:port, such as %2</translation>
    </message>
</context>
<context>
    <name>tolvex::COptionOzi</name>
    <message>
        <source>启用</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>不输出NMEA语句到OziExplorer（OziExplorer仅用于获取单双击地图地点的经纬度）</source>
        <translation>No NMEA sentences to OziExplorer (OziExplorer only gives the places clicked on its map)</translation>
    </message>
    <message>
        <source>输出0 间隔(毫秒)</source>
        <translation>Output 0 interval (ms)</translation>
    </message>
    <message>
        <source>毫秒（推荐值：200毫秒）</source>
        <translation>ms (suggested: 200 ms)</translation>
    </message>
    <message>
        <source>提示: 目前版本的 OziExplorer 在经 Ozi API 连接时不解释 RMC/GGA 以外的语句</source>
        <translation>Tip: through the Ozi API, OziExplorer reads no sentences but RMC and GGA</translation>
    </message>
</context>
<context>
    <name>tolvex::COptionSky</name>
    <message>
        <source>模拟真实接收机（卫星运动、精度因子、定位噪声、失锁）</source>
        <translation>Act like a real receiver (moving satellites, DOP, position noise, loss of fix)</translation>
    </message>
    <message>
        <source>截止高度角（度）</source>
        <translation>Elevation mask (°)</translation>
    </message>
    <message>
        <source>用户等效距离误差（米）</source>
        <translation>User range error, UERE (m)</translation>
    </message>
    <message>
        <source>噪声相关时间（秒）</source>
        <translation>Noise correlation time (s)</translation>
    </message>
    <message>
        <source>随机种子</source>
        <translation>Random seed</translation>
    </message>
    <message>
        <source>卫星系统</source>
        <translation>Satellite systems</translation>
    </message>
    <message>
        <source>浏览...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>选择历书文件</source>
        <translation>Choose an almanac file</translation>
    </message>
    <message>
        <source>历书文件 (*.alm *.al3 *.txt);;所有文件 (*)</source>
        <translation>Almanac files (*.alm *.al3 *.txt);;All files (*)</translation>
    </message>
    <message>
        <source>GPS历书文件</source>
        <translation>GPS almanac file</translation>
    </message>
    <message>
        <source>YUMA或SEM格式；为空时使用标准星座</source>
        <translation>YUMA or SEM; empty: the nominal constellation</translation>
    </message>
    <message>
        <source>高于此角度的卫星少于4颗时失去定位（可模拟城市峡谷）</source>
        <translation>Fewer than 4 satellites above this angle lose the fix (an urban canyon)</translation>
    </message>
    <message>
        <source>0：无定位噪声</source>
        <translation>0: no position noise</translation>
    </message>
    <message>
        <source>0：每次运行不同；相同的种子产生相同的语句</source>
        <translation>0: different on every run; the same seed gives the same sentences</translation>
    </message>
    <message>
        <source>请至少选择一个卫星系统</source>
        <translation>Choose at least one satellite system</translation>
    </message>
    <message>
        <source>无法使用此历书文件：</source>
        <translation>Cannot use this almanac file: </translation>
    </message>
</context>
<context>
    <name>tolvex::COptionTrack</name>
    <message>
        <source>航迹段最短长度（米）</source>
        <translation>Shortest segment (m)</translation>
    </message>
    <message>
        <source>航迹段过滤</source>
        <translation>Segment filter</translation>
    </message>
    <message>
        <source>航迹段最少点数</source>
        <translation>Fewest points in a segment</translation>
    </message>
</context>
<context>
    <name>tolvex::COptions</name>
    <message>
        <source>选项</source>
        <translation>Options</translation>
    </message>
</context>
<context>
    <name>tolvex::CQuickHelp</name>
    <message>
        <source>快速帮助</source>
        <translation>Quick help</translation>
    </message>
</context>
<context>
    <name>tolvex::CSaveNMEA</name>
    <message>
        <source>选择段</source>
        <translation>One segment</translation>
    </message>
    <message>
        <source>顺序存储所有段</source>
        <translation>All segments in order</translation>
    </message>
    <message>
        <source>存储航迹为NMEA-0183文件</source>
        <translation>Save the track as an NMEA-0183 file</translation>
    </message>
    <message>
        <source>Tolvex GPS模拟器将根据以下选项，及当前的航迹模式及相应的参数（M模式时的速度，S模式时的速度比例，是否反序，偏移量，GPS速度上下限，时间偏移及缩放因子等）生成NMEA语句</source>
        <translation>Tolvex GPS Simulator makes the NMEA sentences from the choices below and the current track mode and its settings (the speed in mode M, the speed ratio in mode S, reverse, offset, GPS speed limits, time offset and scale factor, and so on)</translation>
    </message>
    <message>
        <source>存储为...</source>
        <translation>Save as...</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>存为NMEA-0183文件</source>
        <translation>Save as NMEA-0183 file</translation>
    </message>
    <message>
        <source>NMEA-0183文件(*.nmea)</source>
        <translation>NMEA-0183 files (*.nmea)</translation>
    </message>
    <message>
        <source>所有文件(*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>正在生成NMEA文件...</source>
        <translation>Making the NMEA file...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>tolvex::CSelectTrack</name>
    <message>
        <source>选择航迹段</source>
        <translation>Choose a track segment</translation>
    </message>
</context>
<context>
    <name>tolvex::CStopChoice</name>
    <message>
        <source>选择待关闭的输出</source>
        <translation>Choose the outputs to close</translation>
    </message>
</context>
<context>
    <name>tolvex::CTolvexDlg</name>
    <message>
        <source>无法读取设置文件：
%1

%2

本次使用默认设置。</source>
        <translation>Cannot read the settings file:
%1

%2

This session uses the default settings.</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>是(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>否(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>载入航迹文件</source>
        <translation>Load a track file</translation>
    </message>
    <message>
        <source>OZI航迹文件 (*.plt)</source>
        <translation>OZI track files (*.plt)</translation>
    </message>
    <message>
        <source>GPX文件 (*.gpx)</source>
        <translation>GPX files (*.gpx)</translation>
    </message>
    <message>
        <source>Google Earth kml文件 (*.kml)</source>
        <translation>Google Earth kml files (*.kml)</translation>
    </message>
    <message>
        <source>GpsGate Simulator文件 (*.gpssim)</source>
        <translation>GpsGate Simulator files (*.gpssim)</translation>
    </message>
    <message>
        <source>灵图trk文件 (*.trk)</source>
        <translation>Lingtu trk files (*.trk)</translation>
    </message>
    <message>
        <source>NMEA-0183文件 (*.nmea *.nma *.log *.txt)</source>
        <translation>NMEA-0183 files (*.nmea *.nma *.log *.txt)</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>无法载入航迹文件：
%1
（文件无法读取，或没有航迹段符合过滤条件）</source>
        <translation>Cannot load the track file:
%1
(the file cannot be read, or no segment passes the filter)</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>设置未能保存到：
%1
仍然关闭并放弃本次的设置吗？</source>
        <translation>The settings could not be saved to:
%1
Close anyway and lose this session&apos;s settings?</translation>
    </message>
</context>
<context>
    <name>tolvex::MbTilesSource</name>
    <message>
        <source>地图文件不存在：</source>
        <translation>The map file does not exist: </translation>
    </message>
    <message>
        <source>无法打开地图文件：</source>
        <translation>Cannot open the map file: </translation>
    </message>
    <message>
        <source>不是MBTiles地图文件：</source>
        <translation>Not an MBTiles map file: </translation>
    </message>
</context>
<context>
    <name>tolvex::OnlineTileSource</name>
    <message>
        <source>无法连接地图服务器：</source>
        <translation>Cannot reach the map server: </translation>
    </message>
</context>
</TS>
